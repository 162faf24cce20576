#include "ui/win32/key_filter.h"

#include "cpp/win32/windows_exception.h"

#include <algorithm>
#include <vector>

namespace ui {

namespace {

// The filters of this thread: the hook procedure gets no context of its own.
thread_local std::vector<KeyFilter*> filters;

bool held(int key) {
    return GetKeyState(key) < 0;
}

} // namespace

KeyFilter::~KeyFilter() {
    remove();
}

void KeyFilter::install(HWND dialog, Handler handler) {
    remove();
    hook_ = SetWindowsHookExW(WH_MSGFILTER, filter, nullptr, GetCurrentThreadId());
    if (!hook_)
        throw cpp::windows::Exception();
    dialog_ = dialog;
    handler_ = std::move(handler);
    filters.push_back(this);
}

void KeyFilter::remove() {
    if (!hook_)
        return;
    UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
    filters.erase(std::remove(filters.begin(), filters.end(), this), filters.end());
}

LRESULT CALLBACK KeyFilter::filter(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && message &&
        (message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN)) {
        // A copy: a handler may remove its own filter.
        const std::vector<KeyFilter*> current = filters;
        for (KeyFilter* each : current) {
            const bool ours = message->hwnd == each->dialog_ || IsChild(each->dialog_, message->hwnd);
            if (ours && each->handler_ && each->handler_(*message))
                return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool isShortcut(const MSG& message, WPARAM key, bool control, bool shift) {
    return (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) && message.wParam == key &&
           held(VK_CONTROL) == control && held(VK_SHIFT) == shift && !held(VK_MENU);
}

} // namespace ui
