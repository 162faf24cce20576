#pragma once

#include "cpp/string.h"
#include "ui/win32/font_cache.h"
#include "ui/win32/image_cache.h"

#include <windows.h>

namespace ui {

// The "An Update Is Available!" notice: a child dialog (template 120) that
// the graph view carries in its top right corner, created hidden.
class UpdateWindow {
public:
    // homePage is what its link opens.
    UpdateWindow(FontCache& fonts, ImageCache& images, cpp::String homePage);
    ~UpdateWindow();
    UpdateWindow(const UpdateWindow&) = delete;
    UpdateWindow& operator=(const UpdateWindow&) = delete;

    // Creates the notice as a hidden child of parent.
    void create(HWND parent);
    HWND window() const { return window_; }
    // Shows the notice without activating it.
    void show();

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    FontCache& fonts_;
    ImageCache& images_;
    const cpp::String homePage_;
    HWND window_ = nullptr;
};

} // namespace ui
