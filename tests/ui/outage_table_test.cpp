#include "ui/outage_table.h"

#include <gtest/gtest.h>

using cpp::DateTime;
using cpp::Duration;
using Scope = Incident::Scope;
using Ending = Incident::Ending;

namespace ui {
namespace {

TEST(OutageTable, LengthsAndAvailabilityReadAtAGlance) {
    const std::vector<std::pair<std::uint64_t, const char*>> lengths{
        {0, "0 s"},          {59, "59 s"},        {60, "1 min 00 s"},  {185, "3 min 05 s"},
        {3599, "59 min 59 s"}, {7620, "2 h 07 min"}, {86399, "23 h 59 min"}, {273600, "3 d 4 h"},
    };
    for (const auto& [seconds, text] : lengths)
        EXPECT_EQ(lengthText(Duration::seconds(seconds)), text);
    EXPECT_EQ(lengthText(Duration(999999)), "0 s");
    EXPECT_EQ(availabilityText(0.99982), "99.982 %");
    EXPECT_EQ(availabilityText(1.0), "100.000 %");
    EXPECT_EQ(availabilityText(std::nullopt), "-");
    EXPECT_EQ(periodName(outagePeriods.at(0)), "Last 24 hours");
    EXPECT_EQ(periodName(outagePeriods.at(1)), "Last 7 days");
    EXPECT_EQ(periodName(outagePeriods.at(2)), "Last 30 days");
}

TEST(OutageTable, TheIncidentInProgressFirstThenNewestFirst) {
    const DateTime start(Duration::seconds(1700000000));
    const std::vector<Incident> history{
        {start, Duration::seconds(5), Scope::remote, {"a"}, Ending::reply},
        {start + Duration::seconds(60), Duration::seconds(75), Scope::local, {"a", "b"}, Ending::suspend},
    };
    const Incident current{start + Duration::seconds(600), Duration::seconds(12), Scope::wake, {"b"}, Ending::none};
    const std::vector<Cells> rows = incidentRows(history, current);
    ASSERT_EQ(rows.size(), 3u);
    const auto tail = [](const Cells& cells) { return Cells(cells.begin() + 1, cells.end()); };
    EXPECT_EQ(tail(rows[0]), (Cells{"12 s so far", "wake", "b"}));
    EXPECT_EQ(tail(rows[1]), (Cells{"1 min 15 s", "local", "a, b"}));
    EXPECT_EQ(tail(rows[2]), (Cells{"5 s", "remote", "a"}));
    EXPECT_EQ(rows[2][0], cpp::Date(start).toString());
    EXPECT_EQ(incidentRows({}, std::nullopt).size(), 0u);

    OutageTotals totals;
    totals.count = 2;
    totals.downtime = Duration::seconds(90);
    totals.longest = Duration::seconds(75);
    totals.availability = 0.5;
    EXPECT_EQ(totalsRow("Last 7 days", totals), (Cells{"Last 7 days", "2", "1 min 30 s", "1 min 15 s", "50.000 %"}));
}

TEST(OutageTable, TabSeparatedTextKeepsOneLinePerRow) {
    EXPECT_EQ(tabSeparated({"A", "B"}, {{"1", "x\ty"}, {"2", "two\r\nlines"}}),
              "A\tB\r\n1\tx y\r\n2\ttwo  lines\r\n");
    EXPECT_EQ(tabSeparated({"A"}, {}), "A\r\n");
}

} // namespace
} // namespace ui
