#pragma once

#include "app/ping_stats.h"
#include "ui/dpi.h"
#include "ui/layout.h"
#include "ui/ping_colour.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ui {

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const Point&) const = default;
};

// Whether point lies in rect (right and bottom outside).
inline bool contains(const Rect& rect, const Point& point) {
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

// A rectangle filled with a colour, blended with the colour's alpha.
struct Fill {
    Rect rect;
    Colour colour;
    bool operator==(const Fill&) const = default;
};

// The width of one bucket column and the height of one ping row at 96 DPI.
// Every size below is one at 96 DPI, drawn at dpi.
inline constexpr std::int32_t cellSize = 16;

// Where the cells go inside the client area: room for the title and time
// labels above, the axis texts at the sides and the corner labels below.
Rect plotRect(const Rect& client, const Dpi& dpi = {});

// How many buckets fit across the plot (0 when none does).
std::int32_t pageColumns(const Rect& plot, const Dpi& dpi = {});

// How many ping rows fit above the event row (0 or less when none does).
std::int32_t pingRows(const Rect& plot, const Dpi& dpi = {});

// The round-trip values lo < v <= hi of ping row i (2 is the lowest, above
// the event row) out of rows, spread logarithmically from 1 ms to 1 s.
struct RowRange {
    std::int32_t lo = 0;
    std::int32_t hi = 0;
};
RowRange rowRange(std::int32_t row, std::int32_t rows);

// The inset of an event marker in its 16-pixel cell: the more events, the
// larger the marker.
std::int32_t markerInset(std::int32_t events);

// The fills of one bucket's column, in drawing order: its event marker, then
// the no-reply square or its ping rows. columnFromRight is 1 for the
// rightmost column of the plot.
std::vector<Fill> columnFills(const PingStats& stats, std::int32_t columnFromRight, const Rect& plot,
                              const Dpi& dpi = {});

// The bucket (0 is the leftmost of count) under x, if any.
std::optional<std::size_t> columnAt(const Rect& plot, std::size_t count, std::int32_t x, const Dpi& dpi = {});

// Where the "% ms" label of the largest maximum stands: above its column, at
// the height of its row. column is that bucket's index among count; maximum
// is clamped to 1..1000 ms.
Point maximumLabelPosition(const Rect& plot, std::size_t count, std::int64_t column, std::int32_t maximum,
                           const Dpi& dpi = {});

} // namespace ui
