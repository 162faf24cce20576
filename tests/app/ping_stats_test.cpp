#include "app/ping_stats.h"

#include "app/ping_stats_fixture.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

PingStats added(std::initializer_list<std::int32_t> values) {
    PingStats stats;
    for (std::int32_t value : values)
        stats.add(value);
    return stats;
}


TEST(PingStatsTest, RepliesKeepTruncatedAverageAndExtremes) {
    const PingStats two = added({10, 20});
    EXPECT_EQ(two.count, 2);
    EXPECT_EQ(two.average, 15);
    EXPECT_EQ(two.minimum, 10);
    EXPECT_EQ(two.maximum, 20);
    EXPECT_EQ(two.last, 20);

    // Each step truncates: 10, then 10.5 -> 10, then 10.33 -> 10.
    EXPECT_EQ(added({10, 11, 11}).average, 10);
    // 0 is "no reply yet" for the minimum, so a 0 ms reply gives way to the next.
    EXPECT_EQ(added({0, 7}).minimum, 7);
}

TEST(PingStatsTest, FailuresCountDropsAndDisconnectsOnly) {
    const PingStats drop = added({20, -1, 30});
    EXPECT_EQ(drop.count, 2);
    EXPECT_EQ(drop.average, 25);
    EXPECT_EQ(drop.drops, 1);
    EXPECT_EQ(drop.disconnects, 0);
    EXPECT_EQ(drop.last, 30);

    const PingStats outage = added({20, -1, -2, -3, 15});
    EXPECT_EQ(outage.count, 2);
    EXPECT_EQ(outage.average, 17);
    EXPECT_EQ(outage.minimum, 15);
    EXPECT_EQ(outage.maximum, 20);
    EXPECT_EQ(outage.drops, 1);
    EXPECT_EQ(outage.disconnects, 1);
    EXPECT_EQ(outage.last, 15);

    // A new host whose first ping fails starts at -2.
    PingStats expected;
    expected.disconnects = 1;
    expected.last = -3;
    EXPECT_EQ(added({-2, -3}), expected);
}

TEST(PingStatsTest, MergeWeighsAveragesAndKeepsLast) {
    PingStats bucket = added({30});
    bucket.merge(statsRow(19, 30, 25, 35, 1, 0));
    ASSERT_EQ(bucket.count, 20);
    bucket.merge(statsRow(60, 10, 4, 80, 2, 1));
    EXPECT_EQ(bucket.count, 80);
    EXPECT_EQ(bucket.average, 15);
    EXPECT_EQ(bucket.minimum, 4);
    EXPECT_EQ(bucket.maximum, 80);
    EXPECT_EQ(bucket.drops, 3);
    EXPECT_EQ(bucket.disconnects, 1);
    EXPECT_EQ(bucket.last, 30);

    // Into an empty bucket the row's minimum stands, not the empty 0.
    PingStats empty;
    empty.merge(statsRow(5, 12, 9, 20));
    EXPECT_EQ(empty, statsRow(5, 12, 9, 20));

    // A row without replies only adds its failures.
    PingStats unchanged = added({40});
    unchanged.merge(statsRow(0, 99, 99, 99, 2, 3));
    PingStats expected = added({40});
    expected.drops = 2;
    expected.disconnects = 3;
    EXPECT_EQ(unchanged, expected);
}

TEST(PingStatsTest, MergeOfLargeBucketsDoesNotOverflow) {
    // count x average passes 2^31 on either side and in the sum.
    PingStats bucket = statsRow(1500000, 1000, 5, 2000);
    bucket.merge(statsRow(1500000, 2000, 3, 4000));
    EXPECT_EQ(bucket.count, 3000000);
    EXPECT_EQ(bucket.average, 1500);
    EXPECT_EQ(bucket.minimum, 3);
    EXPECT_EQ(bucket.maximum, 4000);
}

TEST(PingStatsTest, RowsOfAnyFiguresMergeWithoutFaulting) {
    // A file's negative count can cancel the replies out: no division by zero.
    PingStats bucket = statsRow(5, 10, 5, 20);
    bucket.merge(statsRow(-5, 30, 1, 40, 1, 0));
    EXPECT_EQ(bucket.count, 0);
    EXPECT_EQ(bucket.average, 0);
    EXPECT_EQ(bucket.drops, 1);
    // Sums past 32 bits wrap as the machine's do.
    PingStats full = statsRow(INT32_MAX, 7, 1, 9, INT32_MAX, 0);
    full.merge(statsRow(1, 7, 1, 9, 1, 0));
    EXPECT_EQ(full.count, INT32_MIN);
    EXPECT_EQ(full.average, 7);
    EXPECT_EQ(full.drops, INT32_MIN);
}

} // namespace
