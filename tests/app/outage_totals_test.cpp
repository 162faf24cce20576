#include "app/outage_totals.h"

#include <gtest/gtest.h>

using cpp::DateTime;
using cpp::Duration;
using Scope = Incident::Scope;
using Ending = Incident::Ending;

namespace {

const DateTime origin(Duration::seconds(1700000040));

DateTime at(std::int64_t seconds) {
    return DateTime(Duration::seconds(static_cast<std::uint64_t>(1700000040 + seconds)));
}

Incident incident(std::int64_t start, std::uint64_t seconds, Scope scope) {
    return Incident{at(start), Duration::seconds(seconds), scope, {"a", "b"}, Ending::reply};
}

// Ten minutes from origin; minutes 0 to 5 sampled, 7 with only losses after
// a disconnection (which count nothing), 8 and 9 without samples.
PingSeries tenMinutes() {
    PingSeries series{origin, Duration::seconds(60), std::vector<PingStats>(10)};
    for (int k = 0; k < 6; ++k)
        series.stats[static_cast<std::size_t>(k)].count = 60;
    series.stats[6].drops = 1;
    return series;
}

TEST(OutageTotals, LocalIncidentsInThePeriodAgainstMonitoredTime) {
    const std::vector<Incident> incidents{incident(-300, 400, Scope::local), incident(200, 30, Scope::remote),
                                          incident(360, 90, Scope::local), incident(400, 500, Scope::wake)};
    // Minutes 0 to 6 sampled, 6 and 7 covered by the second local incident.
    const Duration monitored = monitoredTime(tenMinutes(), incidents, at(0), at(600));
    EXPECT_EQ(monitored, Duration::seconds(8 * 60));
    const std::vector<std::tuple<std::int64_t, std::int64_t, std::size_t, std::uint64_t, std::uint64_t>> cases{
        // From, to, count, downtime, longest.
        {0, 600, 2, 100 + 90, 400},
        {300, 600, 1, 90, 90},
        {450, 600, 0, 0, 0},
        {-1000, -400, 0, 0, 0},
    };
    for (const auto& [from, to, count, downtime, longest] : cases) {
        const OutageTotals totals = outageTotals(incidents, at(from), at(to), monitored);
        EXPECT_EQ(totals.count, count) << from;
        EXPECT_EQ(totals.downtime, Duration::seconds(downtime)) << from;
        EXPECT_EQ(totals.longest, Duration::seconds(longest)) << from;
        ASSERT_TRUE(totals.availability);
        EXPECT_DOUBLE_EQ(*totals.availability, 1.0 - static_cast<double>(downtime) / 480.0) << from;
    }
    EXPECT_FALSE(outageTotals(incidents, at(0), at(600), Duration()).availability);
    // More downtime than monitored time (an older file) is no availability below zero.
    EXPECT_EQ(outageTotals(incidents, at(0), at(600), Duration::seconds(10)).availability, 0.0);
}

TEST(OutageTotals, MonitoredTimeIsClippedToThePeriod) {
    const PingSeries series = tenMinutes();
    EXPECT_EQ(monitoredTime(series, {}, at(30), at(150)), Duration::seconds(120));
    EXPECT_EQ(monitoredTime(series, {}, at(-600), at(0)), Duration());
    EXPECT_EQ(monitoredTime(PingSeries{}, {}, at(0), at(600)), Duration());
    // An incident before the series or beyond it marks nothing outside it.
    EXPECT_EQ(monitoredTime(series, {incident(-9000, 60, Scope::local), incident(590, 9000, Scope::local)}, at(0),
                            at(100000)),
              Duration::seconds(8 * 60));
}

} // namespace
