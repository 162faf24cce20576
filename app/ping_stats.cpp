#include "app/ping_stats.h"

#include <algorithm>

void PingStats::add(std::int32_t value) {
    if (value >= 0) {
        ++count;
        const double n = count;
        average = static_cast<std::int32_t>((n - 1) * average / n + value / n);
        if (maximum < value)
            maximum = value;
        if (minimum == 0 || minimum > value)
            minimum = value;
    } else if (value == -1) {
        ++drops;
    } else if (value == -2) {
        ++disconnects;
    }
    last = value;
}

void PingStats::merge(const PingStats& other) {
    if (other.count != 0) {
        const std::int32_t mine = count;
        // In 64 bits: a day's bucket of all hosts holds enough replies for
        // count x average to pass 2^31.
        const std::int64_t total = std::int64_t{other.count} * other.average + std::int64_t{mine} * average;
        average = static_cast<std::int32_t>(total / (std::int64_t{other.count} + mine));
        maximum = std::max(maximum, other.maximum);
        minimum = mine == 0 ? other.minimum : std::min(minimum, other.minimum);
        count = mine + other.count;
    }
    drops += other.drops;
    disconnects += other.disconnects;
}
