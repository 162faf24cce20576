#include "ui/graph_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace ui {

namespace {

// Row 1 is the event row at the bottom; inset (at 96 DPI) shrinks the cell
// on all sides.
Rect cellRect(const Rect& plot, std::int32_t columnFromRight, std::int32_t row, std::int32_t inset, const Dpi& dpi) {
    const std::int32_t cell = dpi(cellSize);
    const std::int32_t left = plot.right - columnFromRight * cell;
    const std::int32_t top = plot.bottom - row * cell;
    const std::int32_t scaledInset = dpi(inset);
    return Rect{left + scaledInset, top + scaledInset, left + cell - scaledInset, top + cell - scaledInset};
}

// The fraction of the logarithmic scale from 1 ms to 1 s.
double logarithmicShare(double milliseconds) {
    return std::log10(milliseconds) / std::log10(1000.0);
}

std::int32_t powerOfTen(double share) {
    return static_cast<std::int32_t>(std::pow(10.0, share * std::log10(1000.0)));
}

} // namespace

Rect plotRect(const Rect& client, const Dpi& dpi) {
    return Rect{client.left + dpi(18), client.top + dpi(24), client.right - dpi(18), client.bottom - dpi(26)};
}

std::int32_t pageColumns(const Rect& plot, const Dpi& dpi) {
    const std::int32_t cell = dpi(cellSize);
    return plot.width() < cell ? 0 : plot.width() / cell;
}

std::int32_t pingRows(const Rect& plot, const Dpi& dpi) {
    return plot.height() / dpi(cellSize) - 1;
}

RowRange rowRange(std::int32_t row, std::int32_t rows) {
    const double count = rows;
    return RowRange{row == 2 ? 0 : powerOfTen((row - 2) / count), powerOfTen((row - 1) / count)};
}

std::int32_t markerInset(std::int32_t events) {
    if (events <= 1)
        return 6;
    if (events <= 5)
        return 5;
    return 4;
}

std::vector<Fill> columnFills(const PingStats& stats, std::int32_t columnFromRight, const Rect& plot,
                              const Dpi& dpi) {
    std::vector<Fill> fills;
    const auto cell = [&](std::int32_t row, std::int32_t inset, const Colour& colour) {
        fills.push_back(Fill{cellRect(plot, columnFromRight, row, inset, dpi), colour});
    };

    if (stats.disconnects > 0 || stats.drops > 0) {
        const bool disconnected = stats.disconnects > 0;
        const std::int32_t inset = markerInset(disconnected ? stats.disconnects : stats.drops);
        cell(1, inset - 1, colours::outline);
        cell(1, inset, disconnected ? colours::disconnect : colours::drop);
    }
    if (stats.count == 0) {
        cell(2, 4, colours::black);
        cell(2, 5, colours::outline);
        return fills;
    }

    // In 64 bits: rows read back from a file may hold any 32-bit values.
    const std::int64_t average = stats.average;
    const std::int64_t minimum = stats.minimum;
    const std::int64_t maximum = stats.maximum;
    const std::int32_t rows = pingRows(plot, dpi);
    for (std::int32_t row = 2; row <= rows + 1; ++row) {
        const RowRange range = rowRange(row, rows);
        if (range.lo < average && average <= range.hi) {
            cell(row, 1, colours::outline);
            cell(row, 2, colours::white);
            cell(row, 4, pingColour(stats.average));
        } else if (range.lo < maximum && minimum <= range.hi) {
            // The further the row from the average, the smaller its cell.
            const std::int64_t value = std::min<std::int64_t>(range.hi, maximum);
            const auto distance = static_cast<std::int32_t>(
                std::min<std::int64_t>(2, std::llabs(average - value) / std::max<std::int64_t>(1, average - minimum)));
            cell(row, distance + 3, colours::outline);
            cell(row, distance + 4, colours::white);
            cell(row, distance + 5, pingColour(static_cast<std::int32_t>(value)).withAlpha(160));
        } else if (range.lo < average) {
            cell(row, 4, colours::outline);
            cell(row, 5, pingColour(range.hi).withAlpha(128));
        }
    }
    return fills;
}

std::optional<std::size_t> columnAt(const Rect& plot, std::size_t count, std::int32_t x, const Dpi& dpi) {
    if (x < plot.left || x >= plot.right)
        return std::nullopt;
    // Columns stand from the right edge; a column's left edge is its own.
    const std::int32_t cell = dpi(cellSize);
    const std::int64_t fromRight = (plot.right - x + cell - 1) / cell;
    const std::int64_t column = static_cast<std::int64_t>(count) - fromRight;
    if (column < 0 || column >= static_cast<std::int64_t>(count))
        return std::nullopt;
    return static_cast<std::size_t>(column);
}

Point maximumLabelPosition(const Rect& plot, std::size_t count, std::int64_t column, std::int32_t maximum,
                           const Dpi& dpi) {
    const double clamped = std::clamp(maximum, 1, 1000);
    const auto row = static_cast<std::int32_t>(logarithmicShare(clamped) * pingRows(plot, dpi));
    const auto fromRight = static_cast<std::int32_t>(static_cast<std::int64_t>(count) - column);
    const std::int32_t cell = dpi(cellSize);
    return Point{plot.right - cell * fromRight, plot.bottom - cell * (row + 3)};
}

} // namespace ui
