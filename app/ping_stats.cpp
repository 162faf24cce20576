#include "app/ping_stats.h"

#include <algorithm>
#include <cstdint>

namespace {

// Rows of a data file may hold any numbers. Their sums wrap as the machine's
// do, without the undefined behaviour of a signed overflow.
std::int32_t wrappingSum(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

// Truncated toward zero. Negative counts in a file can make the replies sum
// to zero: that average is 0 rather than a division by zero. Loading a year
// divides millions of times, mostly in 32 bits, which is cheaper.
std::int64_t quotient(std::int64_t total, std::int64_t replies) {
    if (replies == 0)
        return 0;
    if (total >= 0 && total <= UINT32_MAX && replies > 0 && replies <= UINT32_MAX)
        return static_cast<std::uint32_t>(total) / static_cast<std::uint32_t>(replies);
    return total / replies;
}

} // namespace

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
        const std::int64_t replies = std::int64_t{other.count} + mine;
        // An empty bucket, or one of the same average, takes the other's
        // average exactly; loading mostly fills empty buckets.
        if (replies != 0 && (mine == 0 || average == other.average))
            average = other.average;
        else
            average = static_cast<std::int32_t>(quotient(total, replies));
        maximum = std::max(maximum, other.maximum);
        minimum = mine == 0 ? other.minimum : std::min(minimum, other.minimum);
        count = wrappingSum(mine, other.count);
    }
    drops = wrappingSum(drops, other.drops);
    disconnects = wrappingSum(disconnects, other.disconnects);
}
