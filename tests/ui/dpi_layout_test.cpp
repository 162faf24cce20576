// The layout at the DPIs of 100, 125, 150 and 200 % scaling: every
// rectangle is its 96-DPI self scaled, nothing overlaps, and the longest
// texts the graph shows fit their room.
#include "ui/dpi.h"

#include "app/ping_stats_fixture.h"
#include "ui/graph_scene.h"
#include "ui/layout.h"
#include "ui/status_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

namespace {

using namespace ui;
using cpp::DateTime;
using cpp::Duration;

constexpr std::int32_t dpis[] = {96, 120, 144, 192};

TEST(DpiTest, SizesScaleRoundedHalfAwayFromZero) {
    const struct {
        std::int32_t dpi;
        std::int32_t pixels;
        std::int32_t scaled;
    } cases[] = {
        {96, 16, 16},  {120, 16, 20}, {144, 16, 24}, {192, 16, 32}, {120, 1, 1},    {144, 1, 2},
        {120, 6, 8},   {144, -11, -17}, {120, -14, -18}, {96, 0, 0}, {288, 160, 480}, {72, 3, 2},
    };
    for (const auto& each : cases)
        EXPECT_EQ(Dpi{each.dpi}(each.pixels), each.scaled) << each.pixels << " at " << each.dpi;
    EXPECT_EQ(Dpi{120}.atLeastOne(0), 1);
    // Between two screens: 250 px at 120 DPI are 300 at 144, and back.
    EXPECT_EQ(Dpi{120}.convert(250, Dpi{144}), 300);
    EXPECT_EQ(Dpi{144}.convert(300, Dpi{120}), 250);
    // A DPI of none changes nothing rather than dividing by it.
    EXPECT_EQ(Dpi{0}.convert(7, Dpi{144}), 7);
    EXPECT_EQ(convertRect(Rect{10, 20, 30, 41}, Dpi{96}, Dpi{144}), (Rect{15, 30, 45, 62}));
}

bool overlap(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool inside(const Rect& inner, const Rect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// Within a pixel on every edge: rounding each size on its own may differ
// from scaling the sum by one.
bool scaledFrom(const Rect& scaled, const Rect& at96, const Dpi& dpi) {
    const Rect expected = convertRect(at96, Dpi{}, dpi);
    return std::abs(scaled.left - expected.left) <= 1 && std::abs(scaled.top - expected.top) <= 1 &&
           std::abs(scaled.right - expected.right) <= 1 && std::abs(scaled.bottom - expected.bottom) <= 1;
}

TEST(DpiLayoutTest, TheMainWindowsPanesScaleAndStayApart) {
    for (const std::int32_t value : dpis) {
        const Dpi dpi{value};
        // The dialog template's button, as the dialog manager places it.
        const Rect client{0, 0, dpi(463), dpi(265)};
        const Rect button{dpi(11), dpi(10), dpi(91), dpi(36)};
        const Rect area = splitterArea(client, button, dpi);
        EXPECT_EQ(area.top, button.bottom + dpi(4)) << value;
        EXPECT_FALSE(overlap(area, button)) << value;
        EXPECT_TRUE(inside(area, client)) << value;
        EXPECT_TRUE(scaledFrom(area, splitterArea({0, 0, 463, 265}, {11, 10, 91, 36}), dpi)) << value;

        const SplitPanes panes = splitSideBySide(Rect{0, 0, area.width(), area.height()}, dpi(160), dpi(4));
        EXPECT_EQ(panes.left.width(), dpi(160)) << value;
        EXPECT_FALSE(overlap(panes.left, panes.bar) || overlap(panes.bar, panes.right) ||
                     overlap(panes.left, panes.right))
            << value;
    }
}

// A series with every kind of column: replies over the whole range, drops,
// disconnections and a bucket without replies.
PingSeries mixedSeries(const DateTime& start) {
    PingSeries series{start, Duration::seconds(1), std::vector<PingStats>(12)};
    const std::int32_t values[] = {1, 3, 12, 30, 60, 120, 300, 900};
    for (std::size_t column = 0; column < 8; ++column)
        series.stats[column] = statsRow(3, values[column], values[column] / 2 + 1, values[column] * 2);
    series.stats[8] = statsRow(2, 20, 10, 40, 3, 0);
    series.stats[9] = statsRow(1, 20, 20, 20, 0, 7);
    series.stats[11] = statsRow(4, 1000, 900, 1100);
    return series;
}

std::vector<Fill> fills(const GraphScene& scene) {
    std::vector<Fill> found;
    for (const auto& item : scene.items)
        if (const auto* fill = std::get_if<Fill>(&item))
            found.push_back(*fill);
    return found;
}

TEST(DpiLayoutTest, TheGraphsCellsLegendAndLabelsAreTheir96DpiSelvesScaled) {
    const DateTime start(Duration::seconds(1699950000 / 60 * 60));
    const PingSeries series = mixedSeries(start);
    const auto at96 = [](const cpp::String& text) { return static_cast<std::int32_t>(text.size()) * 7; };
    const GraphScene base =
        composeGraph(GraphFrame{Rect{0, 0, 400, 300}, series, "", start, true, Dpi{}}, at96);
    const std::vector<Fill> baseFills = fills(base);
    for (const std::int32_t value : dpis) {
        const Dpi dpi{value};
        const Rect client{0, 0, dpi(400), dpi(300)};
        const auto width = [&](const cpp::String& text) { return dpi(at96(text)); };
        const GraphScene scene = composeGraph(GraphFrame{client, series, "", start, true, dpi}, width);
        // The same rows fit: 300 - 24 - 26 pixels of plot make 15 rows.
        EXPECT_EQ(pingRows(plotRect(client, dpi), dpi), 14) << value;
        EXPECT_EQ(pageColumns(plotRect(client, dpi), dpi), 22) << value;
        const std::vector<Fill> scaled = fills(scene);
        ASSERT_EQ(scaled.size(), baseFills.size()) << value;
        for (std::size_t i = 0; i < scaled.size(); ++i) {
            EXPECT_TRUE(scaledFrom(scaled[i].rect, baseFills[i].rect, dpi)) << "fill " << i << " at " << value;
            EXPECT_EQ(scaled[i].colour, baseFills[i].colour) << "fill " << i << " at " << value;
            EXPECT_GT(scaled[i].rect.width(), 0) << "fill " << i << " at " << value;
        }
        // Every cell stays in its own column and row of the plot.
        const Rect plot = plotRect(client, dpi);
        const std::int32_t cell = dpi(cellSize);
        for (const Fill& fill : scaled) {
            if (!inside(fill.rect, plot))
                continue; // the legend
            const std::int32_t column = (plot.right - fill.rect.left + cell - 1) / cell;
            const Rect own{plot.right - column * cell, plot.top, plot.right - (column - 1) * cell, plot.bottom};
            EXPECT_TRUE(inside(fill.rect, own)) << value;
            const std::int32_t row = (plot.bottom - fill.rect.top + cell - 1) / cell;
            EXPECT_LE(fill.rect.bottom, plot.bottom - (row - 1) * cell) << value;
        }
    }
}

// The text boxes of a scene: the text's width by width, one font height.
std::vector<std::pair<Rect, cpp::String>> textBoxes(const GraphScene& scene, const TextWidth& width,
                                                    std::int32_t height) {
    std::vector<std::pair<Rect, cpp::String>> boxes;
    for (const auto& item : scene.items)
        if (const auto* text = std::get_if<Text>(&item))
            boxes.push_back({Rect{text->at.x, text->at.y, text->at.x + width(text->text), text->at.y + height},
                             text->text});
    return boxes;
}

TEST(DpiLayoutTest, TheLongestTextsFitTheGraphAtEveryDpi) {
    // The longest texts: the largest scale in the legend, the dates at the
    // corners, the title of all hosts; the maximum's label over the oldest
    // column, where it has room.
    const DateTime start(Duration::seconds(1699950000 / 60 * 60));
    PingSeries series{start, Duration::hours(24), std::vector<PingStats>(3)};
    series.stats[0] = statsRow(1, 40, 40, 40);
    for (const std::int32_t value : dpis) {
        const Dpi dpi{value};
        // A little wider than most fonts' average character, at the font's
        // 14-pixel height scaled as the font cache scales it.
        const auto width = [&](const cpp::String& text) { return dpi(static_cast<std::int32_t>(text.size()) * 7); };
        const std::int32_t height = dpi(14);
        // The window's smallest graph: the main window at its smallest.
        const Rect client{0, 0, dpi(300), dpi(220)};
        const GraphScene scene =
            composeGraph(GraphFrame{client, series, "", start + Duration::hours(72), false, dpi}, width);
        const auto boxes = textBoxes(scene, width, height);
        std::set<cpp::String> seen;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            seen.insert(boxes[i].second);
            EXPECT_TRUE(inside(boxes[i].first, client)) << boxes[i].second.c_str() << " at " << value;
            for (std::size_t j = i + 1; j < boxes.size(); ++j)
                EXPECT_FALSE(overlap(boxes[i].first, boxes[j].first))
                    << boxes[i].second.c_str() << " and " << boxes[j].second.c_str() << " at " << value;
        }
        EXPECT_TRUE(seen.count(cpp::String("= %", Duration::hours(24).text()))) << value;
        EXPECT_TRUE(seen.count("All Hosts")) << value;
        // The legend's cell stands clear of its text.
        const Fill legend = fills(scene).front();
        for (const auto& [box, text] : boxes)
            EXPECT_FALSE(overlap(legend.rect, box)) << text.c_str() << " at " << value;
    }
}

TEST(StatusImageTest, At16PixelsTheSquaresHaveTheirFixedPixels) {
    constexpr std::uint32_t clear = 0;
    const auto at = [](const std::vector<std::uint32_t>& image, int x, int y) { return image[y * 16 + x]; };
    const std::vector<std::uint32_t> fast = statusImage(5, 16);
    ASSERT_EQ(fast.size(), 256u);
    // A one-pixel border around a 12 x 12 fill, pixels 1 to 14.
    EXPECT_EQ(at(fast, 0, 0), clear);
    EXPECT_EQ(at(fast, 15, 8), clear);
    EXPECT_EQ(at(fast, 1, 1), 0xFFA3CE6Eu);
    EXPECT_EQ(at(fast, 14, 14), 0xFFA3CE6Eu);
    EXPECT_EQ(at(fast, 2, 2), 0xFFCBFF89u);
    EXPECT_EQ(at(fast, 13, 13), 0xFFCBFF89u);
    // Half green, half yellow: the halves meet between pixels 7 and 8.
    const std::vector<std::uint32_t> good = statusImage(4, 16);
    EXPECT_EQ(at(good, 7, 5), 0xFFCBFF89u);
    EXPECT_EQ(at(good, 8, 5), 0xFFFFE089u);
    // No reply: grey with the red mark at 9 to 12.
    const std::vector<std::uint32_t> lost = statusImage(6, 16);
    EXPECT_EQ(at(lost, 8, 8), 0xFF808080u);
    EXPECT_EQ(at(lost, 9, 9), 0xFFFF0000u);
    EXPECT_EQ(at(lost, 12, 12), 0xFFFF0000u);
    EXPECT_EQ(at(lost, 13, 13), 0xFF808080u);
    EXPECT_EQ(at(lost, 14, 14), 0xFF404040u);
    // Out of range: transparent, never a crash.
    for (const int index : {-1, 7, 1000}) {
        const std::vector<std::uint32_t> none = statusImage(index, 16);
        EXPECT_TRUE(std::all_of(none.begin(), none.end(), [](std::uint32_t p) { return p == 0; })) << index;
    }
    EXPECT_TRUE(statusImage(0, 0).empty());
    EXPECT_TRUE(statusImage(0, -4).empty());
}

TEST(StatusImageTest, LargerSizesAreDrawnForTheirSizeNotStretched) {
    for (const int size : {20, 24, 32, 40, 48}) {
        const int border = (size + 8) / 16;
        for (int index = 0; index < statusImageCount; ++index) {
            const std::vector<std::uint32_t> image = statusImage(index, size);
            ASSERT_EQ(image.size(), static_cast<std::size_t>(size * size));
            const auto at = [&](int x, int y) { return image[static_cast<std::size_t>(y * size + x)]; };
            // A square from the margin to the margin on the other side,
            // symmetric, with a border as thick as the margin.
            EXPECT_EQ(at(border - 1, size / 2), 0u) << size;
            EXPECT_EQ(at(size - border, size / 2), 0u) << size;
            EXPECT_NE(at(border, border), 0u) << size;
            EXPECT_NE(at(size - border - 1, size - border - 1), 0u) << size;
            EXPECT_EQ(at(border, size / 2), at(border + border - 1, size / 2)) << size;
            EXPECT_NE(at(border, size / 3), at(2 * border, size / 3)) << "border then fill at " << size;
        }
        // The mark scales with the square: a quarter of it at the lower right.
        const std::vector<std::uint32_t> lost = statusImage(6, size);
        int marked = 0;
        for (const std::uint32_t pixel : lost)
            marked += pixel == 0xFFFF0000u;
        const int side = (13 * size + 8) / 16 - (9 * size + 8) / 16;
        EXPECT_EQ(marked, side * side) << size;
        EXPECT_GE(side, size / 4) << size;
    }
}

} // namespace
