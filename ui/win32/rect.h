#pragma once

#include "ui/layout.h"

#include <windows.h>

namespace ui {

// Our rectangles and the system's hold the same four edges.
inline Rect toRect(const RECT& rect) {
    return Rect{rect.left, rect.top, rect.right, rect.bottom};
}

inline RECT toSystemRect(const Rect& rect) {
    return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

} // namespace ui
