#include "ui/time_labels.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using cpp::Date;
using cpp::DateTime;
using cpp::Duration;
using ui::timeLabelPattern;

Date at(int month, int day, int hour, int minute, int second = 0) {
    std::tm fields{};
    fields.tm_year = 124;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return Date(fields);
}

std::string pattern(const Date& previous, const Date& current, const Duration& bucket) {
    const char* found = timeLabelPattern(previous, current, bucket);
    return found ? found : "none";
}

TEST(TimeLabelsTest, TheLargestChangedUnitLabelsWhenTheBucketIsShortEnough) {
    // A new month is always labelled.
    EXPECT_EQ(pattern(at(3, 31, 0, 0), at(4, 1, 0, 0), Duration::hours(24)), "%B");
    // A new day up to hour buckets.
    EXPECT_EQ(pattern(at(3, 4, 23, 0), at(3, 5, 0, 0), Duration::hours(1)), "%b %e");
    EXPECT_EQ(pattern(at(3, 4, 0, 0), at(3, 5, 0, 0), Duration::hours(24)), "none");
    // A new hour up to 5-minute buckets.
    EXPECT_EQ(pattern(at(3, 4, 9, 55), at(3, 4, 10, 0), Duration::minutes(5)), "%I %p");
    EXPECT_EQ(pattern(at(3, 4, 9, 45), at(3, 4, 10, 0), Duration::minutes(15)), "none");
    // A new minute up to 5-second buckets.
    EXPECT_EQ(pattern(at(3, 4, 9, 1, 55), at(3, 4, 9, 2, 0), Duration::seconds(5)), "%I:%M %p");
    EXPECT_EQ(pattern(at(3, 4, 9, 1, 45), at(3, 4, 9, 2, 0), Duration::seconds(15)), "none");
    // Within the same minute nothing.
    EXPECT_EQ(pattern(at(3, 4, 9, 1, 0), at(3, 4, 9, 1, 1), Duration::seconds(1)), "none");
}

TEST(TimeLabelsTest, SeriesIsLabelledWhereTheMinuteTurns) {
    // 20 one-second buckets from 10 s before a whole minute: every time zone
    // turns its minute there.
    const DateTime minute(Duration::seconds(1699950000 / 60 * 60));
    PingSeries series{minute - Duration::seconds(10), Duration::seconds(1), std::vector<PingStats>(20)};
    const std::vector<ui::TimeLabel> labels = ui::timeLabels(series);
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0].column, 10u);
    EXPECT_EQ(labels[0].text, Date(minute).format("%I:%M %p"));

    // The first column is compared with itself, so it is never labelled.
    series.start = minute;
    const std::vector<ui::TimeLabel> fromTheMinute = ui::timeLabels(series);
    EXPECT_TRUE(fromTheMinute.empty());
}

} // namespace
