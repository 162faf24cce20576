#pragma once

#include "ui/layout.h"

#include <windows.h>

#include <cstdint>
#include <vector>

namespace ui {

// Lets a dialog be resized: a size grip in its bottom right corner, its
// size at initialisation as the smallest it may get, and its controls moved
// or grown by the change of its client size as their rules say (a control
// without a rule stays where it is).
class DialogResizer {
public:
    struct Rule {
        int controlId;
        std::uint32_t rules; // ResizeRule flags
    };

    DialogResizer() = default;
    DialogResizer(const DialogResizer&) = delete;
    DialogResizer& operator=(const DialogResizer&) = delete;

    // At the end of the dialog's initialisation, once every control exists.
    // Throws cpp::windows::Exception when the grip cannot be made.
    void init(HWND dialog, const std::vector<Rule>& rules);
    // After a change of the dialog's DPI, before it takes its new size:
    // the sizes it started from as they are at the new DPI.
    void rescale(const Dpi& from, const Dpi& to);
    // WM_SIZE and WM_GETMINMAXINFO; false for any other message.
    bool handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    struct Control {
        HWND window;
        Rect initial;
        std::uint32_t rules;
    };

    void layout(int width, int height, bool maximised);

    HWND dialog_ = nullptr;
    SIZE minimum_{};
    SIZE initialClient_{};
    std::vector<Control> controls_;
    // A child of the dialog, destroyed with it.
    HWND grip_ = nullptr;
};

} // namespace ui
