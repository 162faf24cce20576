#include "cpp/local_time.h"

namespace cpp::detail {

std::tm toLocalTime(std::time_t seconds) {
    std::tm fields{};
    localtime_r(&seconds, &fields);
    return fields;
}

} // namespace cpp::detail
