#include "ui/graph_scroll.h"

#include "app/manual_clock.h"
#include "cpp/exception.h"

#include <gtest/gtest.h>

#include <ostream>

namespace ui {
void PrintTo(const GraphPosition::ScrollBar& bar, std::ostream* out) {
    *out << "{maximum " << bar.maximum << ", page " << bar.page << ", position " << bar.position << "}";
}
} // namespace ui

namespace {

using cpp::DateTime;
using cpp::Duration;
using ui::GraphPosition;
using ScrollBar = GraphPosition::ScrollBar;

constexpr auto at = &fromOrigin;

// The store's history starts at the origin; the present is an argument.
class GraphScrollTest : public ::testing::Test {
protected:
    std::optional<DateTime> target(std::int32_t request, std::int32_t track = 0, std::int32_t maximum = 0) const {
        return position.requestTarget(request, track, maximum, now);
    }
    // A scroll-bar request as the view carries it out.
    void request(std::int32_t code, std::int32_t track = 0, std::int32_t maximum = 0) {
        if (const auto time = target(code, track, maximum))
            position.scrollTo(*time, now);
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    SampleStore store{clock, []() -> cpp::FilePath { throw cpp::IOException("no data directory"); }};
    GraphPosition position{store};
    DateTime now = at(3600);
};

TEST_F(GraphScrollTest, LiveFollowsThePresentUntilScrolledBack) {
    EXPECT_EQ(position.bucket(), Duration::seconds(1));
    EXPECT_EQ(position.refresh(50, now), (ScrollBar{3600, 50, 3551}));
    EXPECT_TRUE(position.live());
    EXPECT_EQ(position.viewEnd(), now);

    request(GraphPosition::lineLeft);
    EXPECT_FALSE(position.live());
    EXPECT_EQ(position.viewEnd(), at(3599));
    now = at(3700);
    EXPECT_EQ(position.refresh(50, now), (ScrollBar{3700, 50, 3550}));
    EXPECT_EQ(position.viewEnd(), at(3599));

    request(GraphPosition::pageLeft);
    EXPECT_EQ(position.viewEnd(), at(3549));
    request(GraphPosition::pageRight);
    request(GraphPosition::lineRight);
    EXPECT_EQ(position.viewEnd(), at(3600));
    EXPECT_FALSE(position.live());

    // Within a second of the present is live again.
    position.scrollTo(now - Duration(999999), now);
    EXPECT_TRUE(position.live());
    request(GraphPosition::pageRight);
    EXPECT_EQ(position.viewEnd(), now);
    EXPECT_TRUE(position.live());
}

TEST_F(GraphScrollTest, ScrollingStopsAPageAfterTheEarliestData) {
    position.refresh(50, now);
    request(GraphPosition::top);
    EXPECT_EQ(position.viewEnd(), at(50));
    position.scrollTo(at(3), now);
    EXPECT_EQ(position.viewEnd(), at(49));
    EXPECT_FALSE(position.live());
    EXPECT_EQ(position.refresh(50, now).position, 0);

    request(GraphPosition::bottom);
    EXPECT_EQ(position.viewEnd(), now);
    EXPECT_TRUE(position.live());
    // Requests past the last do nothing.
    EXPECT_EQ(target(8), std::nullopt);
    EXPECT_EQ(target(100), std::nullopt);
}

TEST_F(GraphScrollTest, LessHistoryThanAPageStaysLive) {
    now = at(20);
    EXPECT_EQ(position.refresh(50, now), (ScrollBar{20, 50, -29}));
    for (std::int32_t code : {0, 2, 6}) {
        request(code);
        EXPECT_EQ(position.viewEnd(), now) << code;
        EXPECT_TRUE(position.live()) << code;
    }
}

TEST_F(GraphScrollTest, ViewStartingBeforeTheDataReturnsToThePresent) {
    now = at(100);
    position.refresh(50, now);
    position.scrollTo(at(60), now);
    EXPECT_FALSE(position.live());
    // At 5 s the page of 50 buckets now starts before the data.
    position.setScale(Duration::seconds(5), now);
    EXPECT_EQ(position.refresh(50, now), (ScrollBar{20, 50, -29}));
    EXPECT_TRUE(position.live());
    EXPECT_EQ(position.viewEnd(), now);
}

TEST_F(GraphScrollTest, ThumbMapsItsRightEdgeOntoTheHistory) {
    const ScrollBar bar = position.refresh(50, now);
    // Dragged to the far right: the present, live.
    request(GraphPosition::thumbTrack, bar.maximum - bar.page + 1, bar.maximum);
    EXPECT_EQ(position.viewEnd(), now);
    EXPECT_TRUE(position.live());

    request(GraphPosition::thumbPosition, 1750, bar.maximum);
    EXPECT_EQ(position.viewEnd(), at(1800));
    EXPECT_FALSE(position.live());

    // The fraction of a second to the present is cut off.
    now = at(3600) + Duration(700000);
    EXPECT_EQ(target(GraphPosition::thumbTrack, 3550, 3600), at(3600));
    // An empty range has its one page at the present.
    EXPECT_EQ(target(GraphPosition::thumbTrack, 0, 0), at(3600));
}

TEST_F(GraphScrollTest, WheelStopsAtEitherEndOfTheScales) {
    EXPECT_EQ(position.zoom(120, std::nullopt, at(0)), std::nullopt);
    EXPECT_EQ(position.zoom(0, std::nullopt, at(0)), Duration::seconds(5));
    position.setScale(Duration::hours(24), now);
    EXPECT_EQ(position.zoom(-120, std::nullopt, at(0)), std::nullopt);
    EXPECT_EQ(position.zoom(120, std::nullopt, at(0)), Duration::hours(1));
}

TEST_F(GraphScrollTest, ZoomKeepsTheBucketUnderTheMouseNearItsColumn) {
    now = at(36000);
    position.refresh(50, now);
    position.scrollTo(at(10049), now);
    // Column 10 of the page starting at 10000 holds 10010..10011.
    const auto scale = position.zoom(-120, 10, at(10000));
    ASSERT_EQ(scale, Duration::seconds(5));
    position.setScale(*scale, now);
    EXPECT_EQ(position.bucket(), Duration::seconds(5));
    EXPECT_EQ(position.viewEnd(), at(10010 + 40 * 5));
    EXPECT_FALSE(position.live());

    // The anchor is used once: a later change of scale keeps the view end.
    position.setScale(Duration::seconds(15), now);
    EXPECT_EQ(position.viewEnd(), at(10210));

    // Anchored on the middle of a 15 s bucket, in whole seconds.
    position.zoom(120, 3, at(9000));
    position.setScale(Duration::seconds(5), now);
    EXPECT_EQ(position.viewEnd(), at(9000 + 45 + 7 + 47 * 5));

    // Without a column there is no anchor.
    position.zoom(120, std::nullopt, at(0));
    position.setScale(Duration::seconds(1), now);
    EXPECT_EQ(position.viewEnd(), at(9000 + 45 + 7 + 47 * 5));
}

} // namespace
