#pragma once

#include "cpp/string.h"
#include "ui/layout.h"

#include <windows.h>

#include <exception>

namespace ui {

// A window class of the program's own. Its name identifies it: the first
// window made of it registers it, the rest reuse it.
struct WindowClass {
    const wchar_t* name;
    // Null: the window paints every pixel itself.
    HBRUSH background = nullptr;
};

// A window of a class of the program's own, its messages handed to one
// member. The object is bound to its window at WM_NCCREATE (through the
// creation parameter) and unbound at WM_NCDESTROY, so it must outlive its
// window or destroy it. Move-less and copy-less: the window holds its address.
class Window {
public:
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND window() const { return window_; }
    // Destroys the window if it still exists.
    void destroy();

protected:
    Window() = default;
    // Destroys a window that still exists, unbound first: by now the derived
    // object is gone. A class whose handlers must see the window end calls
    // destroy in its own destructor.
    virtual ~Window();

    // Registers the class on first use and makes the window. Throws what a
    // handler of WM_NCCREATE or WM_CREATE threw, else cpp::windows::Exception
    // when the window cannot be made.
    void create(const WindowClass& type, DWORD extendedStyle, DWORD style, const Rect& area, HWND parent,
                HMENU menu = nullptr);

    // The handler of every message; what it leaves to the system goes to
    // DefWindowProcW, as the default does.
    virtual LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // A failure a handler threw; shown in a message box, as a dialog shows one.
    virtual void onFailure(const cpp::String& text);

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    // What a creating message's handler threw, for create to throw.
    std::exception_ptr createFailure_;
};

} // namespace ui
