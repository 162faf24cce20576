#pragma once

#include "cpp/time.h"

#include <algorithm>
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
    // Folds in a period read back from a data file; last stays. Inline:
    // loading a year of rows merges some ten million times.
    void merge(const PingStats& other);

    bool operator==(const PingStats&) const = default;

private:
    // Rows of a data file may hold any numbers. Their sums wrap as the
    // machine's do, without the undefined behaviour of a signed overflow.
    static std::int32_t wrappingSum(std::int32_t a, std::int32_t b) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
    }
    // Truncated toward zero, of replies that two 32-bit counts sum to (less
    // than 2^32 either way). Negative counts in a file can make them sum to
    // zero: that average is 0 rather than a division by zero. Mostly in 32
    // bits, which divide faster.
    static std::int64_t quotient(std::int64_t total, std::int64_t replies) {
        if (replies == 0)
            return 0;
        if (static_cast<std::uint64_t>(total) <= UINT32_MAX && replies > 0)
            return static_cast<std::uint32_t>(total) / static_cast<std::uint32_t>(replies);
        return total / replies;
    }
};

inline void PingStats::merge(const PingStats& other) {
    if (other.count != 0) {
        const std::int32_t mine = count;
        const std::int64_t replies = std::int64_t{other.count} + mine;
        // An empty bucket, or one of the same average, takes the other's
        // average exactly; loading mostly fills empty buckets.
        if (mine == 0) {
            average = other.average;
        } else if (average != other.average || replies == 0) {
            // In 64 bits: a day's bucket of all hosts holds enough replies
            // for count x average to pass 2^31. The sum passes 2^63 only
            // for counts and averages all -2^31: the same average, replies
            // not zero, never here.
            const std::int64_t total = std::int64_t{other.count} * other.average + std::int64_t{mine} * average;
            average = static_cast<std::int32_t>(quotient(total, replies));
        }
        maximum = std::max(maximum, other.maximum);
        minimum = mine == 0 ? other.minimum : std::min(minimum, other.minimum);
        count = wrappingSum(mine, other.count);
    }
    drops = wrappingSum(drops, other.drops);
    disconnects = wrappingSum(disconnects, other.disconnects);
}

// The graph's data: count buckets of one scale, oldest first.
struct PingSeries {
    cpp::DateTime start{cpp::Duration()};
    cpp::Duration scale;
    std::vector<PingStats> stats;
};
