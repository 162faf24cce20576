#pragma once

#include "app/ping_stats.h"

#include <cstdint>
#include <ostream>

// Statistics as a data-file row holds them: everything but last.
inline PingStats statsRow(std::int32_t count, std::int32_t average, std::int32_t minimum, std::int32_t maximum,
                          std::int32_t drops = 0, std::int32_t disconnects = 0) {
    PingStats stats;
    stats.count = count;
    stats.average = average;
    stats.minimum = minimum;
    stats.maximum = maximum;
    stats.drops = drops;
    stats.disconnects = disconnects;
    return stats;
}

inline PingStats withLast(PingStats stats, std::int32_t last) {
    stats.last = last;
    return stats;
}

// Readable failure messages.
inline void PrintTo(const PingStats& s, std::ostream* out) {
    *out << "{count " << s.count << ", average " << s.average << ", maximum " << s.maximum << ", minimum "
         << s.minimum << ", last " << s.last << ", drops " << s.drops << ", disconnects " << s.disconnects << "}";
}
