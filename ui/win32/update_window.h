#pragma once

#include "cpp/string.h"
#include "ui/dpi.h"
#include "ui/win32/dialog.h"
#include "ui/win32/font_cache.h"

#include <windows.h>

namespace ui {

// The "An Update Is Available!" notice: a child dialog (template 120) that
// the graph view carries in its top right corner, created hidden. Its cross
// hides it again; its link opens the home page.
class UpdateWindow : public Dialog {
public:
    // homePage is what its link opens.
    UpdateWindow(FontCache& fonts, cpp::String homePage);
    ~UpdateWindow() override;

    // Creates the notice as a hidden child of parent.
    void create(HWND parent);
    // Shows the notice without activating it.
    void show();
    // After the DPI of the window it is in changed: its size, its controls'
    // places, its fonts, its icon and its cross as they are at to. Its place
    // is its parent's to choose.
    void rescale(const Dpi& from, const Dpi& to);

private:
    bool onInit() override;
    bool onCommand(int id, int code, HWND control) override;
    bool onNotify(const NMHDR& header, LRESULT& result) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // The fonts and the icon at dpi_.
    void applyDpi() const;
    // The cross drawn for the button's size at dpi_, and the focus as the
    // system draws it on a push button.
    void drawClose(const DRAWITEMSTRUCT& item) const;

    FontCache& fonts_;
    const cpp::String homePage_;
    Dpi dpi_;
};

} // namespace ui
