#include "cpp/local_time.h"

#include <string>

namespace cpp::detail {

namespace {

// msvcrt's strftime predates C99 and lacks these; the others it shares.
const char* c99Expansion(char conversion) {
    switch (conversion) {
    case 'F': return "%Y-%m-%d";
    case 'T': return "%H:%M:%S";
    case 'D': return "%m/%d/%y";
    case 'R': return "%H:%M";
    default: return nullptr;
    }
}

std::string expandC99Conversions(const char* pattern) {
    std::string expanded;
    for (const char* c = pattern; *c; ++c) {
        if (*c != '%' || !c[1]) {
            expanded += *c;
            continue;
        }
        ++c;
        if (const char* expansion = c99Expansion(*c)) {
            expanded += expansion;
        } else {
            expanded += '%';
            expanded += *c;
        }
    }
    return expanded;
}

} // namespace

std::tm toLocalTime(std::time_t seconds) {
    std::tm fields{};
    localtime_s(&fields, &seconds);
    return fields;
}

std::size_t formatTime(char* buffer, std::size_t size, const char* pattern, const std::tm& fields) {
    return std::strftime(buffer, size, expandC99Conversions(pattern).c_str(), &fields);
}

} // namespace cpp::detail
