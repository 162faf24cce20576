#include "cpp/local_time.h"

namespace cpp::detail {

std::tm toLocalTime(std::time_t seconds) {
    std::tm fields{};
    localtime_r(&seconds, &fields);
    return fields;
}

std::size_t formatTime(char* buffer, std::size_t size, const char* pattern, const std::tm& fields) {
    return std::strftime(buffer, size, pattern, &fields);
}

} // namespace cpp::detail
