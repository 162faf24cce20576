#include "ui/graph_hover.h"

#include "app/ping_stats_fixture.h"

#include <gtest/gtest.h>

namespace {

const cpp::DateTime start(cpp::Duration::seconds(1699950000));

TEST(GraphHoverTest, ShowsTheBucketsTimeAndStatistics) {
    EXPECT_EQ(ui::hoverText(start, statsRow(12, 30, 9, 250, 3, 1)),
              cpp::String("%\n\nsamples: 12\nping: 30ms (9 - 250)\n2 drop(s), 1 disconnect(s)",
                          cpp::Date(start).toString()));
}

TEST(GraphHoverTest, DropsShownAreNeverNegative) {
    // Rows from a data file may hold more disconnections than drops.
    const cpp::String text = ui::hoverText(start, statsRow(0, 0, 0, 0, 1, 4));
    EXPECT_NE(text.find("\n0 drop(s), 4 disconnect(s)"), cpp::String::npos) << text;
    EXPECT_NE(ui::hoverText(start, statsRow(0, 0, 0, 0, 2, 2)).find("\n0 drop(s), 2 disconnect(s)"),
              cpp::String::npos);
}

} // namespace
