#include "install/version.h"

#include "cpp/exception.h"
#include "cpp/string.h"

#include <limits>
#include <vector>

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

Version Version::find(cpp::TextSpan text) {
    const std::vector<cpp::TextSpan> parts = text.search("(\\d+)\\.(\\d+)");
    if (parts.size() != 3) {
        return Version{};
    }
    return Version{number(parts[1]), number(parts[2])};
}

} // namespace install
