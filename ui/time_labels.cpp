#include "ui/time_labels.h"

namespace ui {

using cpp::Date;
using cpp::DateTime;
using cpp::Duration;

const char* timeLabelPattern(const Date& previous, const Date& current, const Duration& bucket) {
    const std::tm& before = previous.fields();
    const std::tm& now = current.fields();
    if (before.tm_mon != now.tm_mon)
        return "%B";
    if (before.tm_mday != now.tm_mday && bucket <= Duration::hours(1))
        return "%b %e";
    if (before.tm_hour != now.tm_hour && bucket <= Duration::minutes(5))
        return "%I %p";
    if (before.tm_min != now.tm_min && bucket <= Duration::seconds(5))
        return "%I:%M %p";
    return nullptr;
}

std::vector<TimeLabel> timeLabels(const PingSeries& series) {
    std::vector<TimeLabel> labels;
    Date previous(series.start);
    DateTime time = series.start;
    for (std::size_t column = 0; column < series.stats.size(); ++column) {
        if (column > 0)
            time = time + series.scale;
        const Date current(time);
        if (const char* pattern = timeLabelPattern(previous, current, series.scale))
            labels.push_back(TimeLabel{column, current.format(pattern)});
        previous = current;
    }
    return labels;
}

} // namespace ui
