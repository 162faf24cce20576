#pragma once

#include "cpp/string.h"
#include "ui/win32/dialog.h"
#include "ui/win32/font_cache.h"
#include "ui/win32/image_cache.h"

#include <windows.h>

namespace ui {

// The "An Update Is Available!" notice: a child dialog (template 120) that
// the graph view carries in its top right corner, created hidden. Its cross
// hides it again; its link opens the home page.
class UpdateWindow : public Dialog {
public:
    // homePage is what its link opens.
    UpdateWindow(FontCache& fonts, ImageCache& images, cpp::String homePage);
    ~UpdateWindow() override;

    // Creates the notice as a hidden child of parent.
    void create(HWND parent);
    // Shows the notice without activating it.
    void show();

private:
    bool onInit() override;
    bool onCommand(int id, int code, HWND control) override;
    bool onNotify(const NMHDR& header, LRESULT& result) override;

    FontCache& fonts_;
    ImageCache& images_;
    const cpp::String homePage_;
};

} // namespace ui
