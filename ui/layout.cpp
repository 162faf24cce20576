#include "ui/layout.h"

#include <algorithm>

namespace ui {

SplitPanes splitSideBySide(const Rect& client, int barPosition, int barWidth) {
    const int barLeft = std::clamp(client.left + barPosition, client.left, std::max(client.left, client.right));
    const int barRight = std::min(barLeft + barWidth, std::max(barLeft, client.right));
    SplitPanes panes;
    panes.left = {client.left, client.top, barLeft, client.bottom};
    panes.bar = {barLeft, client.top, barRight, client.bottom};
    panes.right = {barRight, client.top, std::max(barRight, client.right), client.bottom};
    return panes;
}

Rect followResize(const Rect& initial, std::uint32_t rules, int dx, int dy) {
    Rect moved = initial;
    if (rules & moveX) {
        moved.left += dx;
        moved.right += dx;
    } else if (rules & growX) {
        moved.right += dx;
    }
    if (rules & moveY) {
        moved.top += dy;
        moved.bottom += dy;
    } else if (rules & growY) {
        moved.bottom += dy;
    }
    // Never turned inside out, whatever the change.
    moved.right = std::max(moved.right, moved.left);
    moved.bottom = std::max(moved.bottom, moved.top);
    return moved;
}

Rect sizeGripRect(const Rect& client, int width, int height) {
    return {client.right - width, client.bottom - height, client.right, client.bottom};
}

Rect splitterArea(const Rect& client, const Rect& addButton, const Dpi& dpi) {
    const int marginX = addButton.left - client.left;
    const int marginY = addButton.top - client.top;
    Rect area{addButton.left, addButton.bottom + dpi(4), client.right - marginX, client.bottom - marginY};
    area.right = std::max(area.right, area.left);
    area.bottom = std::max(area.bottom, area.top);
    return area;
}

Rect convertRect(const Rect& rect, const Dpi& from, const Dpi& to) {
    return Rect{from.convert(rect.left, to), from.convert(rect.top, to), from.convert(rect.right, to),
                from.convert(rect.bottom, to)};
}

} // namespace ui
