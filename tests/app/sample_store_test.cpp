#include "app/sample_store.h"

#include "app/manual_clock.h"
#include "app/ping_stats_fixture.h"
#include "cpp/exception.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

using cpp::DateTime;
using cpp::Duration;

namespace {

constexpr auto at = &fromOrigin;


class SampleStoreTest : public ::testing::Test {
protected:
    // The one bucket of scale that contains time.
    PingStats bucket(const DateTime& time, const Duration& scale) const {
        return store.series(time, scale, 1).stats.at(0);
    }
    PingStats bucket(const DateTime& time, const Duration& scale, const cpp::String& name) const {
        return store.series(time, scale, 1, name).stats.at(0);
    }

    void sample(std::int64_t secondsFromOrigin, const cpp::String& name, std::int32_t value) {
        clock->set(at(secondsFromOrigin));
        store.addSample(name, value);
    }

    std::shared_ptr<ManualClock> clock = [] {
        auto made = std::make_shared<ManualClock>();
        made->set(at(9 * 3600 + 30));
        return made;
    }();
    // Rows have nowhere to go here; the data file tests cover them.
    SampleStore store{clock, []() -> cpp::FilePath { throw cpp::IOException("no data directory"); }};
};

TEST_F(SampleStoreTest, OriginIsMidnightOfTheDayOfCreation) {
    EXPECT_EQ(clock->askedFor(), at(9 * 3600 + 30));
    EXPECT_EQ(store.startTime(), at(0));
    EXPECT_EQ(store.earliest(), at(0));

    // The origin stays on later days; their buckets have larger indexes.
    sample(86400 + 5, "a", 12);
    EXPECT_EQ(store.startTime(), at(0));
    EXPECT_EQ(store.bucketIndex(at(86400 + 5), Duration::hours(24)), 1);
    EXPECT_EQ(bucket(at(86400), Duration::hours(24), "a").count, 1);
    EXPECT_EQ(bucket(at(86399), Duration::hours(24), "a").count, 0);
}

TEST_F(SampleStoreTest, BucketIndexRoundsTowardMinusInfinity) {
    for (const Duration& scale : SampleStore::scales()) {
        SCOPED_TRACE(scale.text());
        const std::int64_t length = static_cast<std::int64_t>(scale.count() / 1000000u);
        EXPECT_EQ(store.bucketIndex(at(0), scale), 0);
        EXPECT_EQ(store.bucketIndex(at(-1), scale), -1);
        EXPECT_EQ(store.bucketIndex(at(-length), scale), -1);
        EXPECT_EQ(store.bucketIndex(at(-length - 1), scale), -2);
        EXPECT_EQ(store.bucketIndex(at(length - 1), scale), 0);
        EXPECT_EQ(store.bucketIndex(at(length), scale), 1);
        for (std::int64_t t : {-3 * length - 1, -length + 1, std::int64_t(-7), std::int64_t(0), length + 3,
                               std::int64_t(100000)}) {
            const DateTime time = at(t);
            const DateTime start = store.bucketStart(store.bucketIndex(time, scale), scale);
            EXPECT_LE(start, time);
            EXPECT_LT(time, start + scale);
        }
    }
    EXPECT_EQ(store.bucketStart(-2, Duration::minutes(15)), at(-1800));
    // Fractions of a second do not count.
    EXPECT_EQ(store.bucketIndex(at(-1) + Duration(999999), Duration::seconds(1)), -1);
}

TEST_F(SampleStoreTest, ScaleNavigationStopsAtBothEnds) {
    const std::vector<Duration> scales = SampleStore::scales();
    ASSERT_EQ(scales.size(), 11u);
    EXPECT_TRUE(std::is_sorted(scales.begin(), scales.end()));
    EXPECT_EQ(scales.front(), Duration::seconds(1));
    EXPECT_EQ(scales.back(), Duration::hours(24));
    EXPECT_EQ(SampleStore::firstScale(), Duration::seconds(1));

    EXPECT_EQ(SampleStore::nextScale(Duration::hours(24)), Duration::hours(24));
    EXPECT_EQ(SampleStore::previousScale(Duration::seconds(1)), Duration::seconds(1));
    EXPECT_EQ(SampleStore::nextScale(Duration::seconds(30)), Duration::seconds(60));
    EXPECT_EQ(SampleStore::previousScale(Duration::seconds(60)), Duration::seconds(30));
    // Between two scales, the step starts from the larger one.
    EXPECT_EQ(SampleStore::nextScale(Duration::seconds(45)), Duration::minutes(2));
    EXPECT_EQ(SampleStore::previousScale(Duration::seconds(45)), Duration::seconds(30));
    EXPECT_EQ(SampleStore::nextScale(Duration::hours(48)), Duration::hours(48));
    EXPECT_EQ(SampleStore::previousScale(Duration::hours(48)), Duration::hours(24));
}

TEST_F(SampleStoreTest, SamplesFillEveryScalePerHostAndCombined) {
    sample(125, "a", 10);
    sample(126, "a", 20);
    sample(126, "b", 40);
    sample(127, "b", -1);

    for (const Duration& scale : SampleStore::scales()) {
        SCOPED_TRACE(scale.text());
        const std::int64_t length = static_cast<std::int64_t>(scale.count() / 1000000u);
        const PingStats a = bucket(at(125), scale, "a");
        const PingStats all = bucket(at(127), scale);
        if (length >= 5) {
            PingStats expected = statsRow(2, 15, 10, 20);
            expected.last = 20;
            EXPECT_EQ(a, expected);
            EXPECT_EQ(bucket(at(126), scale, "b").drops, 1);
            EXPECT_EQ(all.count, 3);
            EXPECT_EQ(all.average, 23);
            EXPECT_EQ(all.minimum, 10);
            EXPECT_EQ(all.maximum, 40);
            EXPECT_EQ(all.drops, 1);
            EXPECT_EQ(all.last, -1);
        }
    }
    // At one second the samples keep to their own seconds.
    EXPECT_EQ(bucket(at(125), Duration::seconds(1), "a").count, 1);
    EXPECT_EQ(bucket(at(126), Duration::seconds(1)).count, 2);
    EXPECT_EQ(bucket(at(127), Duration::seconds(1)).last, -1);
    EXPECT_EQ(bucket(at(126), Duration::seconds(60), "nobody"), PingStats());
}

TEST_F(SampleStoreTest, FirstSampleOfAMinuteFinishesThePreviousOne) {
    clock->set(at(60));
    auto finished = store.addSample("a", 10);
    ASSERT_TRUE(finished);
    EXPECT_EQ(finished->start, at(0));
    EXPECT_EQ(finished->stats, PingStats()); // no sample in minute 0

    clock->set(at(119));
    EXPECT_FALSE(store.addSample("a", 20));
    // Each host has minutes of its own.
    ASSERT_TRUE(store.addSample("b", 5));

    clock->set(at(120));
    finished = store.addSample("a", -1);
    ASSERT_TRUE(finished);
    EXPECT_EQ(finished->start, at(60));
    EXPECT_EQ(finished->stats, bucket(at(60), SampleStore::filePeriod, "a"));
    EXPECT_EQ(finished->stats.count, 2);
    EXPECT_EQ(finished->stats.average, 15);
    EXPECT_EQ(finished->stats.last, 20);

    // After a gap only the minute just before the new one comes out.
    clock->set(at(300));
    finished = store.addSample("a", 7);
    ASSERT_TRUE(finished);
    EXPECT_EQ(finished->start, at(240));
    EXPECT_EQ(finished->stats, PingStats());

    // Before the origin too.
    clock->set(at(-30));
    finished = store.addSample("c", 7);
    ASSERT_TRUE(finished);
    EXPECT_EQ(finished->start, at(-120));
}

TEST_F(SampleStoreTest, MinuteReadBackFromTheFileIsNotFinishedAgain) {
    // The last run wrote minute 0 and ended during minute 1; this run starts in minute 1.
    store.mergeStats("a", at(0), statsRow(60, 10, 5, 30, 1, 0));
    clock->set(at(90));
    auto finished = store.addSample("a", 20);
    EXPECT_FALSE(finished);
    EXPECT_EQ(bucket(at(0), Duration::minutes(1), "a").count, 60);

    // A minute with both a row read back and samples of this run is written whole.
    store.mergeStats("a", at(60), statsRow(2, 40, 40, 40));
    clock->set(at(120));
    finished = store.addSample("a", 20);
    ASSERT_TRUE(finished);
    EXPECT_EQ(finished->stats.count, 3);
    EXPECT_EQ(finished->stats.last, 20);
}

TEST_F(SampleStoreTest, MergedRowLandsInTheBucketOfItsStartOnEveryScale) {
    store.mergeStats("a", at(-3600), statsRow(60, 10, 5, 30, 1, 0));
    store.mergeStats("b", at(-3600), statsRow(20, 30, 25, 35, 0, 1));
    EXPECT_EQ(store.earliest(), at(-3600));
    store.mergeStats("a", at(60), statsRow(0, 0, 0, 0, 2, 0));
    // Later rows do not move earliest forward.
    EXPECT_EQ(store.earliest(), at(-3600));

    for (const Duration& scale : SampleStore::scales()) {
        SCOPED_TRACE(scale.text());
        EXPECT_EQ(bucket(at(-3600), scale, "a").count, 60);
        EXPECT_EQ(bucket(at(-3600), scale), statsRow(80, 15, 5, 35, 1, 1));
    }
    // Also on the short scales the minute stays in its first bucket.
    EXPECT_EQ(bucket(at(-3599), Duration::seconds(1), "a"), PingStats());
    EXPECT_EQ(bucket(at(60), Duration::seconds(1), "a"), statsRow(0, 0, 0, 0, 2, 0));
    EXPECT_EQ(bucket(at(60), Duration::hours(24), "a"), statsRow(0, 0, 0, 0, 2, 0));
    EXPECT_EQ(bucket(at(-1), Duration::hours(24), "a"), statsRow(60, 10, 5, 30, 1, 0));
}

TEST_F(SampleStoreTest, CombinedDayOfManyRepliesAveragesWithoutOverflow) {
    // 3.75e9 replied milliseconds in the all-hosts day.
    store.mergeStats("a", at(0), statsRow(1500000, 1000, 1, 2000));
    store.mergeStats("b", at(60), statsRow(1500000, 1500, 2, 3000));
    const PingStats day = bucket(at(0), Duration::hours(24));
    EXPECT_EQ(day.count, 3000000);
    EXPECT_EQ(day.average, 1250);
}

TEST_F(SampleStoreTest, SeriesEndsWithTheBucketThatContainsTime) {
    sample(10, "a", 1);
    sample(35, "a", 2);
    sample(50, "a", 3);
    sample(50, "b", 4);

    const PingSeries series = store.series(at(74), Duration::seconds(15), 4, "a");
    EXPECT_EQ(series.start, at(15));
    EXPECT_EQ(series.scale, Duration::seconds(15));
    ASSERT_EQ(series.stats.size(), 4u);
    EXPECT_EQ(series.stats[0], PingStats());
    EXPECT_EQ(series.stats[1].last, 2);
    EXPECT_EQ(series.stats[2].last, 3);
    EXPECT_EQ(series.stats[3], PingStats());
    EXPECT_EQ(store.series(at(74), Duration::seconds(15), 4).stats[2].count, 2);

    const PingSeries none = store.series(at(59), Duration::seconds(15), 0);
    EXPECT_TRUE(none.stats.empty());

    // A scale that is not ours has no buckets, only zeros.
    const PingSeries odd = store.series(at(74), Duration::seconds(7), 3, "a");
    EXPECT_EQ(odd.start, at(56));
    EXPECT_EQ(odd.stats, std::vector<PingStats>(3));
    EXPECT_EQ(store.series(at(59), Duration(), 2).stats, std::vector<PingStats>(2));
}

TEST_F(SampleStoreTest, RemoveDataEmptiesTheHostButNotTheCombinedBuckets) {
    store.mergeStats("a", at(-600), statsRow(60, 10, 5, 30));
    sample(30, "a", 8);
    sample(30, "b", 9);
    store.removeData("a");
    store.removeData("never-seen");

    for (const Duration& scale : SampleStore::scales()) {
        EXPECT_EQ(bucket(at(30), scale, "a"), PingStats());
        EXPECT_EQ(bucket(at(-600), scale, "a"), PingStats());
        EXPECT_EQ(bucket(at(-600), scale).count, 60);
    }
    EXPECT_EQ(bucket(at(30), Duration::minutes(1), "b").count, 1);
    EXPECT_EQ(bucket(at(30), Duration::minutes(1)).count, 2);

    // The host starts afresh: its running minute is new again.
    clock->set(at(40));
    const auto finished = store.addSample("a", 3);
    ASSERT_TRUE(finished);
    EXPECT_EQ(finished->stats, PingStats());
    EXPECT_EQ(bucket(at(40), Duration::minutes(1), "a").count, 1);
}

TEST_F(SampleStoreTest, ConcurrentWritersAndReadersLoseNoSample) {
    constexpr int perThread = 2000;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done)
            store.series(at(0), Duration::seconds(1), 120);
    });
    auto writer = [&](const char* name) {
        for (int i = 0; i < perThread; ++i) {
            if (i % 2 == 0)
                clock->set(at(i / 20));
            store.addSample(name, i % 50);
        }
    };
    std::thread a(writer, "a");
    std::thread b(writer, "b");
    store.mergeStats("c", at(7), statsRow(5, 10, 10, 10));
    a.join();
    b.join();
    done = true;
    reader.join();

    EXPECT_EQ(bucket(at(0), Duration::hours(24)).count, 2 * perThread + 5);
    EXPECT_EQ(bucket(at(0), Duration::hours(24), "a").count, perThread);
}

} // namespace
