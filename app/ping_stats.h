#pragma once

#include "cpp/time.h"

#include <cstdint>
#include <vector>

// The statistics of one bucket. A sample value is a reply time in ms (0 or
// more), -1 for a drop, -2 for the failure that disconnects the host, and -3,
// -4, ... for further failures in the same run.
struct PingStats {
    std::int32_t count = 0;   // replies
    std::int32_t average = 0; // ms, truncated at every step
    std::int32_t maximum = 0;
    std::int32_t minimum = 0; // 0 until a reply is seen
    std::int32_t last = 0;    // the last sample value of any kind
    std::int32_t drops = 0;
    std::int32_t disconnects = 0;

    void add(std::int32_t value);
    // Folds in a period read back from a data file; last stays.
    void merge(const PingStats& other);

    bool operator==(const PingStats&) const = default;
};

// The graph's data: count buckets of one scale, oldest first.
struct PingSeries {
    cpp::DateTime start{cpp::Duration()};
    cpp::Duration scale;
    std::vector<PingStats> stats;
};
