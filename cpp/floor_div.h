#pragma once

#include <cstdint>

namespace cpp {

// a / b rounded toward minus infinity, for b above 0: the bucket, minute or
// day that holds a time before the origin as well as after it.
constexpr std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b < 0 ? 1 : 0);
}

} // namespace cpp
