#include "ui/graph_scene.h"

#include "app/ping_stats_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace ui;
using cpp::Date;
using cpp::DateTime;
using cpp::Duration;

// 7 pixels a character.
std::int32_t width(const cpp::String& text) {
    return static_cast<std::int32_t>(text.size()) * 7;
}

const Rect client{0, 0, 400, 300};
// A whole minute in every time zone.
const DateTime minute(Duration::seconds(1699950000 / 60 * 60));

std::vector<Text> texts(const GraphScene& scene) {
    std::vector<Text> found;
    for (const auto& item : scene.items)
        if (const auto* text = std::get_if<Text>(&item))
            found.push_back(*text);
    return found;
}

bool hasText(const GraphScene& scene, const Text& wanted) {
    const std::vector<Text> all = texts(scene);
    return std::find(all.begin(), all.end(), wanted) != all.end();
}

TEST(GraphSceneTest, EmptyGraphStillShowsItsFrameAndAZeroMaximum) {
    const PingSeries series{minute, Duration::seconds(1), {}};
    const GraphScene scene = composeGraph(GraphFrame{client, series, "", minute, true, Dpi{}}, width);
    EXPECT_EQ(scene.background, colours::liveBackground);
    EXPECT_TRUE(hasText(scene, Text{{20, 4}, "All Hosts"}));
    EXPECT_TRUE(hasText(scene, Text{{366, 274 - 48}, "0 ms"}));
    EXPECT_TRUE(hasText(scene, Text{{310, 4}, "= 1 second"}));
    EXPECT_TRUE(hasText(scene, Text{{12, 24}, "> 1s"}));
    EXPECT_TRUE(hasText(scene, Text{{12, 258}, "< 1ms"}));
    // The legend: a cell in the colour of 0 ms.
    EXPECT_NE(std::find(scene.items.begin(), scene.items.end(),
                        decltype(scene.items)::value_type(Fill{Rect{296, 8, 304, 16}, pingColour(0)})),
              scene.items.end());
}

TEST(GraphSceneTest, CornerLabelsTickTowardTheirTexts) {
    const PingSeries series{minute, Duration::minutes(1), std::vector<PingStats>(3)};
    const DateTime end = minute + Duration::seconds(150);
    const GraphScene scene = composeGraph(GraphFrame{client, series, "host", end, false, Dpi{}}, width);
    EXPECT_EQ(scene.background, colours::pastBackground);
    EXPECT_TRUE(hasText(scene, Text{{20, 4}, "host"}));

    const cpp::String first = Date(minute).toString();
    const cpp::String last = Date(end).toString();
    EXPECT_TRUE(hasText(scene, Text{{12, 276}, first}));
    EXPECT_TRUE(hasText(scene, Text{{392 - width(last) - 4, 276}, last}));
    const auto hasLine = [&](const Line& wanted) {
        return std::find(scene.items.begin(), scene.items.end(), decltype(scene.items)::value_type(wanted)) !=
               scene.items.end();
    };
    EXPECT_TRUE(hasLine(Line{{{8, 24}, {8, 274}, {8 + width(first), 274}}, false}));
    EXPECT_TRUE(hasLine(Line{{{392, 24}, {392, 274}, {392 - width(last), 274}}, false}));
}

TEST(GraphSceneTest, LabelsFollowTheirColumnAndMaximumGoesToTheLaterBucket) {
    // Four 1 s buckets; the minute turns at the third.
    PingSeries series{minute - Duration::seconds(2), Duration::seconds(1), std::vector<PingStats>(4)};
    series.stats[1] = statsRow(1, 40, 40, 40);
    series.stats[2] = statsRow(1, 40, 40, 40, 1, 0);
    const GraphScene scene = composeGraph(GraphFrame{client, series, "", minute, true, Dpi{}}, width);

    // Column 2 of 4 starts at x = 382 - 2 * 16; its label line and text
    // come after its own fills and before those of the last column.
    const Line line{{{350, 24}, {350, 274}}, true};
    const auto at = std::find(scene.items.begin(), scene.items.end(), decltype(scene.items)::value_type(line));
    ASSERT_NE(at, scene.items.end());
    ASSERT_TRUE(std::holds_alternative<Text>(*(at + 1)));
    EXPECT_EQ(std::get<Text>(*(at + 1)), (Text{{354, 24}, Date(minute).format("%I:%M %p")}));
    const Fill& before = std::get<Fill>(*(at - 1));
    const Fill& after = std::get<Fill>(*(at + 2));
    EXPECT_GE(before.rect.left, 350);
    EXPECT_LT(before.rect.right, 366);
    EXPECT_GE(after.rect.left, 366);

    // 40 ms in both; the later one carries the label, at row 11 of 14.
    EXPECT_TRUE(hasText(scene, Text{{350, 274 - 16 * (7 + 3)}, "40 ms"}));
}

} // namespace
