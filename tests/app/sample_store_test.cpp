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
    // Rows have nowhere to go here; the data file tests cover them. How
    // samples and rows fill the buckets of every scale is held against the
    // plain store in store_oracle_test.
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
    for (const Duration& scale : ScaleBuckets::scales()) {
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
    const std::vector<Duration> scales = ScaleBuckets::scales();
    ASSERT_EQ(scales.size(), 11u);
    EXPECT_TRUE(std::is_sorted(scales.begin(), scales.end()));
    EXPECT_EQ(ScaleBuckets::nextScale(Duration::hours(24)), Duration::hours(24));
    EXPECT_EQ(ScaleBuckets::previousScale(Duration::seconds(1)), Duration::seconds(1));
    EXPECT_EQ(ScaleBuckets::nextScale(Duration::seconds(30)), Duration::seconds(60));
    EXPECT_EQ(ScaleBuckets::previousScale(Duration::seconds(60)), Duration::seconds(30));
    // Between two scales, the step starts from the larger one.
    EXPECT_EQ(ScaleBuckets::nextScale(Duration::seconds(45)), Duration::minutes(2));
    EXPECT_EQ(ScaleBuckets::previousScale(Duration::seconds(45)), Duration::seconds(30));
    EXPECT_EQ(ScaleBuckets::nextScale(Duration::hours(48)), Duration::hours(48));
    EXPECT_EQ(ScaleBuckets::previousScale(Duration::hours(48)), Duration::hours(24));
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
    sample(35, "a", 2);
    const PingSeries series = store.series(at(74), Duration::seconds(15), 4, "a");
    EXPECT_EQ(series.start, at(15));
    EXPECT_EQ(series.scale, Duration::seconds(15));
    ASSERT_EQ(series.stats.size(), 4u);
    EXPECT_EQ(series.stats[1].last, 2);
    EXPECT_EQ(series.stats[0].count + series.stats[2].count + series.stats[3].count, 0);
    EXPECT_TRUE(store.series(at(59), Duration::seconds(15), 0).stats.empty());

    // A scale that is not ours has no buckets, only zeros.
    const PingSeries odd = store.series(at(74), Duration::seconds(7), 3, "a");
    EXPECT_EQ(odd.start, at(56));
    EXPECT_EQ(odd.stats, std::vector<PingStats>(3));
    EXPECT_EQ(store.series(at(59), Duration(), 2).stats, std::vector<PingStats>(2));
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
