#pragma once

#include "cpp/win32/unique_handle.h"
#include "ui/graph_scene.h"
#include "ui/win32/back_buffer.h"

#include <windows.h>

namespace ui {

// Draws the graph's scene with GDI: translucent fills by alpha-blending a
// 4 x 4 bitmap of the fill's colour, white lines and white text. Lines are
// as many device pixels wide as one pixel at 96 DPI is at the frame's DPI.
class GraphPainter {
public:
    GraphPainter();

    // Draws frame over its client area of dc, text in font (none: the DC's).
    void paint(HDC dc, HFONT font, const GraphFrame& frame) const;

private:
    void fill(HDC dc, const Fill& fill) const;
    static void line(HDC dc, const Line& line, HPEN pen, std::int32_t width, std::int32_t gap);
    static void text(HDC dc, const Text& text);

    BitmapSurface cell_;
};

} // namespace ui
