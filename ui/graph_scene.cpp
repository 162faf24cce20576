#include "ui/graph_scene.h"

#include "ui/time_labels.h"

#include <cstddef>

namespace ui {

namespace {

class SceneBuilder {
public:
    explicit SceneBuilder(GraphScene& scene) : scene_(scene) {}

    void fill(const Rect& rect, const Colour& colour) { scene_.items.emplace_back(Fill{rect, colour}); }
    void fills(const std::vector<Fill>& fills) { scene_.items.insert(scene_.items.end(), fills.begin(), fills.end()); }
    void line(std::vector<Point> points, bool dotted) { scene_.items.emplace_back(Line{std::move(points), dotted}); }
    void text(const Point& at, cpp::String text) { scene_.items.emplace_back(Text{at, std::move(text)}); }

private:
    GraphScene& scene_;
};

// Columns left to right, each followed by its time label, so that the next
// column covers a label that runs into it.
void addColumns(SceneBuilder& builder, const GraphFrame& frame, const Rect& plot) {
    const PingSeries& series = frame.series;
    const std::size_t count = series.stats.size();
    const std::vector<TimeLabel> labels = timeLabels(series);
    const Dpi& dpi = frame.dpi;
    auto label = labels.begin();
    // On equal maxima the later bucket wins; with no data the label stands
    // over the rightmost column.
    std::int32_t largest = 0;
    std::int64_t largestColumn = static_cast<std::int64_t>(count) - 1;
    for (std::size_t column = 0; column < count; ++column) {
        const PingStats& stats = series.stats[column];
        const auto fromRight = static_cast<std::int32_t>(count - column);
        builder.fills(columnFills(stats, fromRight, plot, dpi));
        if (stats.maximum >= largest) {
            largest = stats.maximum;
            largestColumn = static_cast<std::int64_t>(column);
        }
        if (label != labels.end() && label->column == column) {
            const std::int32_t x = plot.right - fromRight * dpi(cellSize);
            builder.line({Point{x, plot.top}, Point{x, plot.bottom}}, true);
            builder.text(Point{x + dpi(4), plot.top}, label->text);
            ++label;
        }
    }
    builder.text(maximumLabelPosition(plot, count, largestColumn, largest, dpi), cpp::String("% ms", largest));
}

void addLegend(SceneBuilder& builder, const GraphFrame& frame) {
    const std::int32_t w = frame.client.right;
    const Dpi& d = frame.dpi;
    // A cell of the graph as its average shows: outline, white frame, colour.
    builder.fill(Rect{w - d(107), d(5), w - d(93), d(19)}, colours::outline);
    builder.fill(Rect{w - d(106), d(6), w - d(94), d(18)}, colours::white);
    builder.fill(Rect{w - d(104), d(8), w - d(96), d(16)}, pingColour(0));
    builder.text(Point{w - d(90), d(4)}, cpp::String("= %", frame.series.scale.text()));
}

// A tick down the plot's side and along its bottom under a date-and-time
// text; toLeft puts the text on the left of the tick.
void addCornerLabel(SceneBuilder& builder, const Rect& plot, std::int32_t x, const cpp::DateTime& time,
                    bool toLeft, const TextWidth& textWidth, const Dpi& dpi) {
    cpp::String text = cpp::Date(time).toString();
    const std::int32_t width = text.empty() ? dpi(4) : textWidth(text);
    const std::int32_t end = toLeft ? x - width : x + width;
    builder.line({Point{x, plot.top}, Point{x, plot.bottom}, Point{end, plot.bottom}}, false);
    builder.text(Point{toLeft ? x - width - dpi(4) : x + dpi(4), plot.bottom + dpi(2)}, std::move(text));
}

} // namespace

GraphScene composeGraph(const GraphFrame& frame, const TextWidth& textWidth) {
    GraphScene scene{frame.live ? colours::liveBackground : colours::pastBackground, {}};
    SceneBuilder builder(scene);
    const Dpi& d = frame.dpi;
    const Rect plot = plotRect(frame.client, d);
    addColumns(builder, frame, plot);
    builder.text(Point{d(20), d(4)}, frame.host.empty() ? cpp::String("All Hosts") : frame.host);
    addLegend(builder, frame);
    builder.text(Point{d(12), d(24)}, "> 1s");
    builder.text(Point{d(12), frame.client.bottom - d(42)}, "< 1ms");
    addCornerLabel(builder, plot, d(8), frame.series.start, false, textWidth, d);
    addCornerLabel(builder, plot, frame.client.right - d(8), frame.viewEnd, true, textWidth, d);
    return scene;
}

} // namespace ui
