#pragma once

#include "ui/layout.h"

#include <windows.h>

namespace ui {

// A child window split side by side into two panes, with a bar that stays
// where the program puts it: the user cannot drag it. The panes are windows
// made as children of the splitter.
class Splitter {
public:
    Splitter() = default;
    // Destroys the window if it still exists, so that no message reaches a
    // splitter that is gone.
    ~Splitter();
    Splitter(const Splitter&) = delete;
    Splitter& operator=(const Splitter&) = delete;

    // Throws cpp::windows::Exception when the window cannot be made.
    void create(HWND parent, const Rect& area, int id);
    HWND window() const { return window_; }

    void setPanes(HWND left, HWND right);
    // Pixels from the splitter's left edge to the bar; lays the panes out.
    void setBarPosition(int position);
    // The bar as wide as a sizing border at the window's DPI, after a change.
    void updateBarWidth();
    int barPosition() const { return barPosition_; }

private:
    static void registerClass();
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void layout() const;

    HWND window_ = nullptr;
    HWND left_ = nullptr;
    HWND right_ = nullptr;
    int barPosition_ = 0;
    int barWidth_ = 4;
};

} // namespace ui
