#pragma once

#include <windows.h>

#include <functional>

namespace ui {

// Sees the keys a modeless dialog's IsDialogMessage is given before the
// dialog or its focused control does: the place for shortcuts that work
// whichever control has the focus (the program's loop has no accelerator
// table, and a dialog's controls do not pass unknown keys up). Works through
// the thread's message-filter hook, which IsDialogMessage calls first.
class KeyFilter {
public:
    // handler gets every key message for dialog or one of its descendants
    // and returns true when it used the key, which then goes no further.
    using Handler = std::function<bool(const MSG&)>;

    KeyFilter() = default;
    ~KeyFilter();
    KeyFilter(const KeyFilter&) = delete;
    KeyFilter& operator=(const KeyFilter&) = delete;

    // On the dialog's own thread; a second call replaces the first.
    // Throws cpp::windows::Exception when the hook cannot be set.
    void install(HWND dialog, Handler handler);
    void remove();

private:
    static LRESULT CALLBACK filter(int code, WPARAM wParam, LPARAM lParam);

    HWND dialog_ = nullptr;
    Handler handler_;
    HHOOK hook_ = nullptr;
};

// Whether the key message is key with exactly the modifiers asked for held.
bool isShortcut(const MSG& message, WPARAM key, bool control, bool shift);

} // namespace ui
