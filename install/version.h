#pragma once

#include "cpp/text_span.h"

#include <compare>
#include <cstdint>

namespace install {

// A release number, major and minor, compared as numbers: 1.10 is newer
// than 1.9.
struct Version {
    std::int32_t major = 0;
    std::int32_t minor = 0;

    // The first two decimal numbers joined by a full stop in text, anything
    // around them ignored; 0.0 when there are none. Throws cpp::Exception
    // for a number beyond 32 bits.
    static Version find(cpp::TextSpan text);

    friend auto operator<=>(const Version&, const Version&) = default;
};

} // namespace install
