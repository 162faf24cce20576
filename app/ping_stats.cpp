#include "app/ping_stats.h"

#include <cstdint>

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
