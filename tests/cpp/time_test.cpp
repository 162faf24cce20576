#include "cpp/time.h"

#include "cpp/exception.h"
#include "cpp/thrown.h"

#include <gtest/gtest.h>

#include <clocale>
#include <thread>

namespace cpp {
namespace {

void expectDurationError(auto operation, const char* message) {
    EXPECT_EQ(test::thrownText<DurationException>(operation), message);
}

TEST(DurationText, EveryUnitAndItsSeparators) {
    const std::pair<Duration, const char*> cases[] = {
        {Duration(), "0 seconds"},
        {Duration::seconds(1), "1 second"},
        {Duration::milliseconds(1500), "1.500 seconds"},
        {Duration(1), "0.000001 seconds"},
        {Duration(1001), "0.001001 seconds"},
        {Duration::seconds(61), "1 minute,  1 second"},
        {Duration::seconds(90), "1 minute, 30 seconds"},
        {Duration::minutes(1), "1 minute"},
        {Duration::hours(2), "2 hours"},
        {Duration::hours(24) + Duration::minutes(5), "1 day, 5 minutes"},
        {Duration::minutes(1) + Duration::milliseconds(250), "1 minute,  0.250 seconds"},
        {Duration::hours(49), "2 days, 1 hour"},
        {Duration::hours(1) + Duration::seconds(1), "1 hour,  1 second"},
        {Duration::infinite, "213503982 days, 8 hours, 1 minute, 49.551615 seconds"},
    };
    for (const auto& [duration, text] : cases) {
        EXPECT_EQ(duration.text(), text);
        EXPECT_EQ(String("%", duration), text);
    }
}

TEST(Duration, ComparisonIsUnsignedAndArithmeticSaturates) {
    EXPECT_EQ(Duration::hours(1000000) <=> Duration::infinite, std::strong_ordering::less);
    EXPECT_EQ(Duration::infinite <=> Duration(), std::strong_ordering::greater);
    EXPECT_FALSE(Duration(UINT64_MAX - 1).isInfinite());
    EXPECT_EQ(Duration::seconds(3) - Duration::seconds(5), Duration());
    EXPECT_EQ(Duration::seconds(5) - Duration::seconds(3), Duration::seconds(2));
    EXPECT_TRUE((Duration::infinite - Duration::seconds(5)).isInfinite());
    EXPECT_TRUE((Duration::seconds(5) - Duration::infinite).isInfinite());
    EXPECT_TRUE((Duration::seconds(5) + Duration::infinite).isInfinite());
    EXPECT_EQ(Duration::milliseconds(3).toChrono(), std::chrono::microseconds(3000));
    expectDurationError([] { Duration::infinite.toChrono(); },
                        "Cannot convert infinite Duration to std::chrono::duration");
}

TEST(Time, DeadlinesOnTheMonotonicClock) {
    const Time before;
    const Time deadline = before + Duration::seconds(10);
    EXPECT_LT(before, deadline);
    EXPECT_EQ(deadline - before, Duration::seconds(10));
    EXPECT_EQ(before - deadline, Duration());
    EXPECT_GE(Time(), before);
    expectDurationError([&] { before + Duration::infinite; }, "Cannot relate Time from infinite Duration");
    expectDurationError([] { Time(Duration::infinite) + Duration(); },
                        "Cannot convert infinite Duration to std::chrono::duration");
    expectDurationError([] { Time(Duration::infinite).toChrono(); },
                        "Cannot convert infinite Duration to std::chrono::duration");

    Stopwatch watch;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(watch.restart(), Duration::milliseconds(5));
    EXPECT_LT(watch.elapsed(), Duration::seconds(10));
}

TEST(DateTime, ArithmeticAndDistance) {
    const DateTime start(Duration::seconds(1000));
    const DateTime later = start + Duration::seconds(30);
    EXPECT_EQ(later.sinceEpoch(), Duration::seconds(1030));
    EXPECT_EQ(later - start, Duration::seconds(30));
    EXPECT_EQ(start - later, Duration::seconds(30));
    EXPECT_EQ(start - start, Duration());
    EXPECT_EQ((start - Duration::seconds(5000)).sinceEpoch(), Duration());
    expectDurationError([&] { start + Duration::infinite; }, "Cannot relate DateTime from infinite Duration");
    expectDurationError([&] { start - Duration::infinite; }, "Cannot relate DateTime from infinite Duration");
    expectDurationError([] { DateTime(Duration(UINT64_MAX - 1)) + Duration(1); },
                        "Cannot relate DateTime from infinite Duration");
}

TEST(Date, LocalTextAndRoundTrip) {
    std::setlocale(LC_ALL, "C");
    const DateTime now;
    EXPECT_GT(now.sinceEpoch(), Duration::seconds(1577836800)); // after 2020
    const Date date(now);
    const String text = date.toString();
    EXPECT_EQ(text.size(), 19u) << text;
    EXPECT_TRUE(text.match("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d").size() == 1) << text;
    // Back to calendar time loses only the fraction of the second.
    EXPECT_EQ(DateTime(date).sinceEpoch(), Duration::seconds(now.sinceEpoch().count() / 1000000));
    EXPECT_EQ(date.format("%Y").toInteger(), date.fields().tm_year + 1900);
    EXPECT_EQ(date.format("%T"), date.format("%H:%M:%S"));
    EXPECT_EQ(date.format("%%F"), "%F");
}

TEST(Date, FormatThatDoesNotFitIsEmpty) {
    const Date date{DateTime()};
    EXPECT_EQ(date.format(std::string(63, 'x').c_str()).size(), 63u);
    EXPECT_EQ(date.format(std::string(64, 'x').c_str()), "");
    EXPECT_EQ(date.format("%F %X %F %X %F %X %F %X"), "");
}

TEST(Date, FormatsFromManyThreadsAtOnce) {
    // Two fixed instants an hour apart must keep their own text on every thread.
    const DateTime first(Duration::seconds(1700000000));
    const DateTime second = first + Duration::hours(1);
    const String firstText = Date(first).toString();
    const String secondText = Date(second).toString();
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                const bool useFirst = (i + t) % 2 == 0;
                if (Date(useFirst ? first : second).toString() != (useFirst ? firstText : secondText)) {
                    ++mismatches;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
} // namespace cpp
