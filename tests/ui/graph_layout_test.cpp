#include "ui/graph_layout.h"

#include "app/ping_stats_fixture.h"

#include "ui/graph_printers.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace ui;

// 400 x 300 client: 22 columns, 14 ping rows above the event row.
const Rect client{0, 0, 400, 300};
const Rect plot = plotRect(client);

// The bottom (event) row of the rightmost column spans x 366..382, y 258..274.
Rect eventCell(std::int32_t inset) {
    return Rect{366 + inset, 258 + inset, 382 - inset, 274 - inset};
}

TEST(GraphLayoutTest, PlotLeavesRoomForTheTexts) {
    EXPECT_EQ(plot, (Rect{18, 24, 382, 274}));
    EXPECT_EQ(pageColumns(plot), 22);
    EXPECT_EQ(pingRows(plot), 14);
    // Too small for a column or a row.
    const Rect tiny = plotRect(Rect{0, 0, 40, 60});
    EXPECT_EQ(pageColumns(tiny), 0);
    EXPECT_LE(pingRows(tiny), 0);
    EXPECT_EQ(pageColumns(plotRect(Rect{0, 0, 10, 10})), 0);
}

TEST(GraphLayoutTest, RowsSplitOneMillisecondToOneSecondWithoutGaps) {
    for (std::int32_t rows : {1, 3, 14, 40}) {
        SCOPED_TRACE(rows);
        EXPECT_EQ(rowRange(2, rows).lo, 0);
        EXPECT_EQ(rowRange(rows + 1, rows).hi, 1000);
        for (std::int32_t row = 3; row <= rows + 1; ++row)
            EXPECT_EQ(rowRange(row, rows).lo, rowRange(row - 1, rows).hi);
    }
    EXPECT_EQ(rowRange(2, 3).hi, 10);
    EXPECT_EQ(rowRange(3, 3).hi, 100);
}

TEST(GraphLayoutTest, EventMarkersGrowWithTheirCount) {
    // One event: a 4 x 4 square inside a 6 x 6 dark grey one; six or more:
    // 8 x 8. Disconnections win over drops; drops alone draw yellow.
    const struct {
        std::int32_t drops, disconnects, inset;
        Colour colour;
    } cases[] = {{1, 1, 6, colours::disconnect}, {9, 6, 4, colours::disconnect}, {1, 0, 6, colours::drop},
                 {5, 0, 5, colours::drop},       {6, 0, 4, colours::drop}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.drops << " drops, " << c.disconnects << " disconnects");
        const std::vector<Fill> fills = columnFills(statsRow(5, 10, 10, 10, c.drops, c.disconnects), 1, plot);
        ASSERT_GE(fills.size(), 2u);
        EXPECT_EQ(fills[0], (Fill{eventCell(c.inset - 1), colours::outline}));
        EXPECT_EQ(fills[1], (Fill{eventCell(c.inset), c.colour}));
    }
    // Neither: no marker, the first fill is a ping row's.
    EXPECT_LT(columnFills(statsRow(5, 10, 10, 10), 1, plot)[0].rect.bottom, 258);
}

TEST(GraphLayoutTest, NoRepliesDrawOnlyTheSmallDarkSquare) {
    // Column 3 from the right: x 334..350; row 2: y 242..258.
    EXPECT_EQ(columnFills(statsRow(0, 0, 0, 0), 3, plot),
              (std::vector<Fill>{Fill{Rect{338, 246, 346, 254}, colours::black},
                                 Fill{Rect{339, 247, 345, 253}, colours::outline}}));
    // With its marker first.
    EXPECT_EQ(columnFills(statsRow(0, 0, 0, 0, 2, 1), 3, plot).size(), 4u);
}

TEST(GraphLayoutTest, PingRowsShowAverageRangeAndBelow) {
    // Rows with 14 per 1000 ms: find each of min 3, average 40, max 300.
    const std::int32_t rows = pingRows(plot);
    const auto rowOf = [&](std::int32_t value) {
        for (std::int32_t row = 2; row <= rows + 1; ++row)
            if (rowRange(row, rows).lo < value && value <= rowRange(row, rows).hi)
                return row;
        return 0;
    };
    const std::vector<Fill> fills = columnFills(statsRow(8, 40, 3, 300), 1, plot);
    const auto rowFills = [&](std::int32_t row) {
        std::vector<Fill> found;
        for (const Fill& fill : fills)
            if (fill.rect.bottom <= 274 - (row - 1) * 16 && fill.rect.top >= 274 - row * 16)
                found.push_back(fill);
        return found;
    };

    // The average: outline, white, then its opaque colour with inset 4.
    const std::vector<Fill> average = rowFills(rowOf(40));
    ASSERT_EQ(average.size(), 3u);
    EXPECT_EQ(average[1].colour, colours::white);
    EXPECT_EQ(average[2], (Fill{Rect{370, 274 - rowOf(40) * 16 + 4, 378, 274 - (rowOf(40) - 1) * 16 - 4},
                                pingColour(40)}));

    // The maximum's row: translucent, its colour capped at the maximum, two
    // steps smaller than the average's cell (inset 7).
    const std::vector<Fill> top = rowFills(rowOf(300));
    ASSERT_EQ(top.size(), 3u);
    EXPECT_EQ(top[2].colour, pingColour(300).withAlpha(160));
    EXPECT_EQ(top[2].rect.width(), 16 - 14);

    // Rows under the minimum: dim, in the colour of the row's top.
    const std::int32_t lowest = rowOf(3) - 1;
    ASSERT_GE(lowest, 2);
    const std::vector<Fill> below = rowFills(lowest);
    ASSERT_EQ(below.size(), 2u);
    EXPECT_EQ(below[1].colour, pingColour(rowRange(lowest, rows).hi).withAlpha(128));

    // Rows above the maximum stay empty.
    EXPECT_TRUE(rowFills(rowOf(300) + 1).empty());
}

TEST(GraphLayoutTest, AverageOfASecondOrMoreLeavesNoOpaqueCell) {
    const std::vector<Fill> fills = columnFills(statsRow(2, 1500, 1200, 1800), 1, plot);
    EXPECT_FALSE(fills.empty());
    EXPECT_TRUE(std::none_of(fills.begin(), fills.end(), [](const Fill& fill) {
        return fill.colour.alpha == 255 && fill.colour != colours::outline && fill.colour != colours::white;
    }));
}

TEST(GraphLayoutTest, ColumnUnderTheCursor) {
    EXPECT_EQ(columnAt(plot, 22, 381), 21u);
    EXPECT_EQ(columnAt(plot, 22, 366), 21u);
    EXPECT_EQ(columnAt(plot, 22, 365), 20u);
    // 22 columns fill 352 of the 364 pixels, from the right.
    EXPECT_EQ(columnAt(plot, 22, 30), 0u);
    EXPECT_EQ(columnAt(plot, 22, 29), std::nullopt);
    EXPECT_EQ(columnAt(plot, 22, 382), std::nullopt);
    EXPECT_EQ(columnAt(plot, 22, 17), std::nullopt);
    // A short series leaves the left of the plot empty.
    EXPECT_EQ(columnAt(plot, 2, 18), std::nullopt);
    EXPECT_EQ(columnAt(plot, 2, 350), 0u);
    EXPECT_EQ(columnAt(plot, 0, 381), std::nullopt);
}

TEST(GraphLayoutTest, MaximumLabelStandsAtItsRow) {
    // 0 (no data) counts as 1 ms: the bottom ping row.
    EXPECT_EQ(maximumLabelPosition(plot, 22, 21, 0), (Point{366, 274 - 48}));
    EXPECT_EQ(maximumLabelPosition(plot, 22, 0, 1000), (Point{30, 274 - 17 * 16}));
    EXPECT_EQ(maximumLabelPosition(plot, 22, 0, 5000), (Point{30, 274 - 17 * 16}));
    // No buckets at all: over the rightmost column's place.
    EXPECT_EQ(maximumLabelPosition(plot, 0, -1, 0), (Point{366, 274 - 48}));
}

} // namespace
