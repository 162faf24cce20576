#pragma once

#include "app/ping_stats.h"
#include "cpp/string.h"
#include "cpp/time.h"
#include "ui/graph_layout.h"
#include "ui/ping_colour.h"

#include <cstdint>
#include <functional>
#include <variant>
#include <vector>

namespace ui {

// A white line, 1 pixel wide at 96 DPI, through points; dotted lines run straight
// from the first point to the second.
struct Line {
    std::vector<Point> points;
    bool dotted = false;
    bool operator==(const Line&) const = default;
};

// White text on a transparent background, its top left corner at at.
struct Text {
    Point at;
    cpp::String text;
    bool operator==(const Text&) const = default;
};

// What the graph shows, as the window system draws it: a background, then
// the items in order (a later item covers an earlier one).
struct GraphScene {
    Colour background;
    std::vector<std::variant<Fill, Line, Text>> items;
};

// Everything the graph draws from.
struct GraphFrame {
    Rect client;
    const PingSeries& series;
    // Empty for all hosts.
    cpp::String host;
    cpp::DateTime viewEnd;
    bool live = true;
    // Sizes are written at 96 DPI and drawn at this one.
    Dpi dpi;
};

// The width in pixels of a text in the graph's font.
using TextWidth = std::function<std::int32_t(const cpp::String&)>;

// The scene of one paint: the columns with their time labels, the label of
// the largest maximum, the title, the legend, the axis texts and the
// corner labels with their ticks.
GraphScene composeGraph(const GraphFrame& frame, const TextWidth& textWidth);

} // namespace ui
