#include "install/version.h"

#include "cpp/exception.h"
#include "cpp/string.h"

#include <limits>

namespace install {

namespace {

std::int32_t number(cpp::TextSpan digits) {
    const std::int64_t value = cpp::String(digits).toInteger();
    if (value > std::numeric_limits<std::int32_t>::max()) {
        throw cpp::Exception(cpp::String("Version number out of range: %", digits));
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

// The leftmost match of (\d+)\.(\d+), scanned by hand: std::regex recurses
// once per digit and would overflow the stack on a long run of them. A match
// starts at the beginning of the first run of digits that a full stop and a
// digit follow, and both runs are taken whole.
Version Version::find(cpp::TextSpan text) {
    const char* const begin = text.begin();
    const char* const end = begin ? begin + text.size() : begin;
    const auto digit = [end](const char* at) { return at < end && *at >= '0' && *at <= '9'; };
    const auto digitsFrom = [&digit](const char* at) {
        while (digit(at))
            ++at;
        return at;
    };
    for (const char* at = begin; at < end;) {
        if (!digit(at)) {
            ++at;
            continue;
        }
        const char* const majorEnd = digitsFrom(at);
        if (majorEnd < end && *majorEnd == '.' && digit(majorEnd + 1)) {
            const char* const minorEnd = digitsFrom(majorEnd + 1);
            return Version{number(cpp::TextSpan(at, majorEnd)), number(cpp::TextSpan(majorEnd + 1, minorEnd))};
        }
        at = majorEnd;
    }
    return Version{};
}

} // namespace install
