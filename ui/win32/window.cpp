#include "ui/win32/window.h"

#include "cpp/win32/windows_exception.h"
#include "ui/win32/failure_report.h"

#include <mutex>
#include <set>
#include <string>
#include <utility>

namespace ui {

namespace {

void registerOnce(const WindowClass& type, WNDPROC procedure) {
    static std::mutex mutex;
    static std::set<std::wstring> registered;
    const std::lock_guard lock(mutex);
    if (registered.contains(type.name))
        return;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = type.background;
    windowClass.lpszClassName = type.name;
    if (!RegisterClassExW(&windowClass))
        throw cpp::windows::Exception();
    registered.insert(type.name);
}

} // namespace

Window::~Window() {
    if (window_) {
        // Unbound first: the messages of its end must not reach a derived
        // object that is gone.
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(std::exchange(window_, nullptr));
    }
}

void Window::destroy() {
    if (window_)
        DestroyWindow(window_);
}

void Window::create(const WindowClass& type, DWORD extendedStyle, DWORD style, const Rect& area, HWND parent,
                    HMENU menu) {
    registerOnce(type, windowProc);
    const HWND made = CreateWindowExW(extendedStyle, type.name, L"", style, area.left, area.top, area.width(),
                                      area.height(), parent, menu, GetModuleHandleW(nullptr), this);
    if (!made)
        window_ = nullptr;
    if (createFailure_)
        std::rethrow_exception(std::exchange(createFailure_, nullptr));
    if (!made)
        throw cpp::windows::Exception();
}

LRESULT Window::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window_, message, wParam, lParam);
}

void Window::onFailure(const cpp::String& text) {
    showFailure(window_, text);
}

LRESULT CALLBACK Window::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = static_cast<Window*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* bound = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!bound) {
        // Messages before WM_NCCREATE, and after WM_NCDESTROY.
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        bound->window_ = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return bound->dispatch(message, wParam, lParam);
}

LRESULT Window::dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    const bool finished = catchFailures([&] { result = onMessage(message, wParam, lParam); },
                                        [&](const cpp::String& text) {
                                            if (message == WM_NCCREATE || message == WM_CREATE)
                                                createFailure_ = std::current_exception();
                                            else
                                                onFailure(text);
                                        });
    if (finished)
        return result;
    // A window whose making failed is not made.
    if (message == WM_NCCREATE)
        return FALSE;
    return message == WM_CREATE ? -1 : 0;
}

} // namespace ui
