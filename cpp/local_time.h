#pragma once

#include <ctime>

namespace cpp::detail {

// The thread-safe local-time conversion of the platform (several threads
// format dates at once).
std::tm toLocalTime(std::time_t seconds);

} // namespace cpp::detail
