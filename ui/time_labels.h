#pragma once

#include "app/ping_stats.h"
#include "cpp/string.h"
#include "cpp/time.h"

#include <cstddef>
#include <vector>

namespace ui {

// The strftime pattern that labels a bucket starting at current (local
// time) after one starting at previous: the largest calendar unit that
// changed between them, when the bucket is short enough for that unit to
// be worth a label. Null for no label.
const char* timeLabelPattern(const cpp::Date& previous, const cpp::Date& current, const cpp::Duration& bucket);

struct TimeLabel {
    std::size_t column = 0;
    cpp::String text;
    bool operator==(const TimeLabel&) const = default;
};

// The labels of a series, left to right, in local time. The first column
// is compared with the series start itself, so it never gets one.
std::vector<TimeLabel> timeLabels(const PingSeries& series);

} // namespace ui
