#pragma once

#include "cpp/string.h"
#include "cpp/text_span.h"

#include <cstddef>
#include <cstdint>

namespace cpp {

// The head of an HTTP/1.x request as a small server needs it: the request
// line checked and kept, the header lines checked for form and skipped.
struct RequestHead {
    enum class State : std::uint8_t {
        // No blank line yet, and nothing wrong so far.
        incomplete,
        complete,
        // Not an HTTP/1.x request head: answered with 400.
        malformed,
        // No end within the limit: answered with 431.
        tooLarge,
    };

    State state = State::incomplete;
    // Bytes of the head up to and including its blank line (complete only).
    std::size_t length = 0;
    String method;
    // As sent: a path with its query, or another request-target form.
    String target;
    // The x of HTTP/1.x.
    std::int32_t minorVersion = 0;

    // Scans the bytes received so far, from the first; a head longer than
    // limit bytes is tooLarge even when its end has arrived. Lines may end in
    // CR LF or a bare LF, and empty lines before the request line are skipped,
    // as RFC 9112 asks of a robust server. Garbage is malformed as soon as the
    // bytes seen show it, without waiting for the end of the head.
    static RequestHead scan(TextSpan received, std::size_t limit);

    // The target's path: the target up to its query, if any.
    TextSpan path() const;
};

} // namespace cpp
