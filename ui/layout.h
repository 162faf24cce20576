#pragma once

#include "ui/dpi.h"

#include <cstdint>
#include <type_traits>

// The geometry of our windows, apart from any window: pixel rectangles in a
// window's client coordinates, right and bottom exclusive.
namespace ui {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

static_assert(std::is_trivially_copyable_v<Rect>);

// A splitter's two panes side by side with the bar between them. The bar
// stays where it was put; a client too narrow for it cuts the right pane
// (then the bar) to nothing rather than moving it.
struct SplitPanes {
    Rect left;
    Rect bar;
    Rect right;
};
SplitPanes splitSideBySide(const Rect& client, int barPosition, int barWidth);

// How a control follows its dialog's size: moved and/or grown by the change
// of the client size along each axis.
enum ResizeRule : std::uint32_t {
    resizeNone = 0,
    moveX = 1,
    moveY = 2,
    growX = 4,
    growY = 8,
};
Rect followResize(const Rect& initial, std::uint32_t rules, int dx, int dy);

// The size grip's place: the bottom right corner of the client.
Rect sizeGripRect(const Rect& client, int width, int height);

// The main window's splitter: from 4 pixels (at 96 DPI) below the Add
// Address button to the bottom, with the button's left offset as margin on
// the left and right, and its top offset as margin at the bottom.
Rect splitterArea(const Rect& client, const Rect& addButton, const Dpi& dpi = {});

// Each edge of rect, a rectangle at one DPI, where it is at another.
Rect convertRect(const Rect& rect, const Dpi& from, const Dpi& to);

} // namespace ui
