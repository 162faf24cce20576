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

TEST(PingStatsTest, RepliesKeepTruncatedAverageAndExtremesFailuresCountDropsAndDisconnectsOnly) {
    EXPECT_EQ(added({10, 20}), withLast(statsRow(2, 15, 10, 20), 20));
    // Each step truncates: 10, then 10.5 -> 10, then 10.33 -> 10.
    EXPECT_EQ(added({10, 11, 11}).average, 10);
    // 0 is "no reply yet" for the minimum, so a 0 ms reply gives way to the next.
    EXPECT_EQ(added({0, 7}).minimum, 7);

    EXPECT_EQ(added({20, -1, 30}), withLast(statsRow(2, 25, 20, 30, 1, 0), 30));
    EXPECT_EQ(added({20, -1, -2, -3, 15}), withLast(statsRow(2, 17, 15, 20, 1, 1), 15));
    // A new host whose first ping fails starts at -2.
    EXPECT_EQ(added({-2, -3}), withLast(statsRow(0, 0, 0, 0, 0, 1), -3));
}

TEST(PingStatsTest, MergeWeighsAveragesAndKeepsLast) {
    PingStats bucket = added({30});
    bucket.merge(statsRow(19, 30, 25, 35, 1, 0));
    ASSERT_EQ(bucket.count, 20);
    bucket.merge(statsRow(60, 10, 4, 80, 2, 1));
    EXPECT_EQ(bucket, withLast(statsRow(80, 15, 4, 80, 3, 1), 30));

    // Into an empty bucket the row's minimum stands, not the empty 0.
    PingStats empty;
    empty.merge(statsRow(5, 12, 9, 20));
    EXPECT_EQ(empty, statsRow(5, 12, 9, 20));

    // A row without replies only adds its failures.
    PingStats unchanged = added({40});
    unchanged.merge(statsRow(0, 99, 99, 99, 2, 3));
    EXPECT_EQ(unchanged, withLast(statsRow(1, 40, 40, 40, 2, 3), 40));
}

TEST(PingStatsTest, MergeOfLargeBucketsDoesNotOverflowAndRowsOfAnyFiguresDoNotFault) {
    // count x average passes 2^31 on either side and in the sum.
    PingStats bucket = statsRow(1500000, 1000, 5, 2000);
    bucket.merge(statsRow(1500000, 2000, 3, 4000));
    EXPECT_EQ(bucket, statsRow(3000000, 1500, 3, 4000));

    // A file's negative count can cancel the replies out: no division by zero.
    bucket = statsRow(5, 10, 5, 20);
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

    // Negative averages truncate toward zero: -72 / 5 is -14.
    bucket = statsRow(3, -10, 1, 9);
    bucket.merge(statsRow(2, -21, 1, 9));
    EXPECT_EQ(bucket.average, -14);
    // Counts and averages all -2^31: count x average twice is 2^63, past 64
    // bits; with the same averages nothing need be summed.
    PingStats extreme = statsRow(INT32_MIN, INT32_MIN, 0, 0);
    extreme.merge(statsRow(INT32_MIN, INT32_MIN, 0, 0));
    EXPECT_EQ(extreme.count, 0);
    EXPECT_EQ(extreme.average, INT32_MIN);
}

} // namespace
