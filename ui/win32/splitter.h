#pragma once

#include "ui/layout.h"
#include "ui/win32/window.h"

namespace ui {

// A child window split side by side into two panes, with a bar that stays
// where the program puts it: the user cannot drag it. The panes are windows
// made as children of the splitter.
class Splitter : public Window {
public:
    // Throws cpp::windows::Exception when the window cannot be made.
    void create(HWND parent, const Rect& area, int id);

    void setPanes(HWND left, HWND right);
    // Pixels from the splitter's left edge to the bar; lays the panes out.
    void setBarPosition(int position);
    // The bar as wide as a sizing border at the window's DPI, after a change.
    void updateBarWidth();
    int barPosition() const { return barPosition_; }

private:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void layout() const;

    HWND left_ = nullptr;
    HWND right_ = nullptr;
    int barPosition_ = 0;
    int barWidth_ = 4;
};

} // namespace ui
