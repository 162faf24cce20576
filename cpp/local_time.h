#pragma once

#include <cstddef>
#include <ctime>

namespace cpp::detail {

// The thread-safe local-time conversion of the platform (several threads
// format dates at once).
std::tm toLocalTime(std::time_t seconds);

// strftime with the C99 conversions, whatever the platform's C library has.
std::size_t formatTime(char* buffer, std::size_t size, const char* pattern, const std::tm& fields);

} // namespace cpp::detail
