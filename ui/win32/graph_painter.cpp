#include "ui/win32/graph_painter.h"

#include "cpp/win32/windows_exception.h"
#include "ui/win32/rect.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace ui {

namespace {

constexpr std::int32_t cellBitmapSize = 4;

COLORREF colourRef(const Colour& colour) {
    return RGB(colour.red, colour.green, colour.blue);
}

std::int32_t textWidth(HDC dc, const cpp::String& text) {
    const std::wstring wide = text.toWide();
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    return size.cx;
}

} // namespace

GraphPainter::GraphPainter() : cell_(cellBitmapSize, cellBitmapSize) {}

void GraphPainter::paint(HDC dc, HFONT font, const GraphFrame& frame) const {
    const cpp::windows::SelectedObject selectedFont(dc, font);
    const GraphScene scene = composeGraph(frame, [dc](const cpp::String& text) { return textWidth(dc, text); });

    const RECT client = toSystemRect(frame.client);
    SetDCBrushColor(dc, colourRef(scene.background));
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colourRef(colours::white));
    SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    const std::int32_t width = frame.dpi.atLeastOne(1);
    const cpp::windows::PenHandle pen(CreatePen(PS_SOLID, width, colourRef(colours::white)));
    if (!pen)
        throw cpp::windows::Exception();
    for (const auto& item : scene.items) {
        if (const auto* filled = std::get_if<Fill>(&item))
            fill(dc, *filled);
        else if (const auto* drawn = std::get_if<Line>(&item))
            line(dc, *drawn, pen.get(), width, std::max(width + 1, frame.dpi(2)));
        else
            text(dc, std::get<Text>(item));
    }
}

void GraphPainter::fill(HDC dc, const Fill& fill) const {
    const Rect& r = fill.rect;
    if (r.width() <= 0 || r.height() <= 0)
        return;
    // Premultiplication is not needed: the bitmap's own alpha is not used,
    // only the constant one.
    const std::uint32_t pixel = (std::uint32_t{fill.colour.red} << 16) | (std::uint32_t{fill.colour.green} << 8) |
                                std::uint32_t{fill.colour.blue};
    GdiFlush();
    std::fill_n(cell_.pixels(), cellBitmapSize * cellBitmapSize, pixel);
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, fill.colour.alpha, 0};
    AlphaBlend(dc, r.left, r.top, r.width(), r.height(), cell_.dc(), 0, 0, cellBitmapSize, cellBitmapSize, blend);
}

void GraphPainter::line(HDC dc, const Line& line, HPEN pen, std::int32_t width, std::int32_t gap) {
    if (line.points.size() < 2)
        return;
    if (line.dotted) {
        // A dot of the line's width every gap pixels (every other one at 96
        // DPI), from the first point toward the second.
        const Point& from = line.points[0];
        const Point& to = line.points[1];
        const std::int32_t steps = std::max(std::abs(to.x - from.x), std::abs(to.y - from.y));
        SetDCBrushColor(dc, colourRef(colours::white));
        for (std::int32_t step = 0; step < steps; step += gap) {
            const std::int32_t x = from.x + (to.x - from.x) * step / steps;
            const std::int32_t y = from.y + (to.y - from.y) * step / steps;
            const RECT dot{x, y, x + width, y + width};
            FillRect(dc, &dot, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        }
        return;
    }
    std::vector<POINT> points;
    for (const Point& point : line.points)
        points.push_back(POINT{point.x, point.y});
    const cpp::windows::SelectedObject selected(dc, pen);
    Polyline(dc, points.data(), static_cast<int>(points.size()));
}

void GraphPainter::text(HDC dc, const Text& text) {
    const std::wstring wide = text.text.toWide();
    TextOutW(dc, text.at.x, text.at.y, wide.c_str(), static_cast<int>(wide.size()));
}

} // namespace ui
