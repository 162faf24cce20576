#pragma once

#include "cpp/stream.h"
#include "cpp/string.h"
#include "cpp/text_span.h"
#include "cpp/time.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace cpp {

namespace detail {

inline bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// The line without the carriage returns and line feeds at its ends.
inline TextSpan trimLineEnds(const char* begin, const char* end) {
    while (begin < end && isLineEnd(*begin))
        ++begin;
    while (end > begin && isLineEnd(end[-1]))
        --end;
    return TextSpan(begin, end);
}

} // namespace detail

// Calls visit with the offset of each line of an input read through to its
// end, as a file is, and the line as LineReader gives it: ended by a line
// feed or the end of the input, carriage returns and line feeds trimmed off
// both ends. Reads bufferSize bytes at a time and copies only the lines that
// straddle two reads; the line is valid during the call. Much cheaper than a
// LineReader when every line of a file is wanted: no step through an
// iterator, no time-outs. visit(std::uint64_t offset, TextSpan line) returns
// false to read no further.
template <class Visit>
void forEachLine(const Input& input, std::size_t bufferSize, Visit&& visit) {
    std::vector<char> buffer(std::max<std::size_t>(bufferSize, 1));
    // The beginning of a line that began in an earlier read.
    String partial;
    std::uint64_t lineOffset = 0;
    std::uint64_t readOffset = 0;
    while (input.isOpen()) {
        const TextSpan got = input.read(buffer, Duration::infinite);
        const char* p = got.begin();
        while (p < got.end()) {
            const auto* lineFeed =
                static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(got.end() - p)));
            if (!lineFeed) {
                partial.append(p, static_cast<std::size_t>(got.end() - p));
                break;
            }
            TextSpan line;
            if (partial.empty()) {
                line = detail::trimLineEnds(p, lineFeed);
            } else {
                partial.append(p, static_cast<std::size_t>(lineFeed - p));
                line = detail::trimLineEnds(partial.data(), partial.data() + partial.size());
            }
            if (!visit(lineOffset, line))
                return;
            partial.clear();
            p = lineFeed + 1;
            lineOffset = readOffset + static_cast<std::uint64_t>(p - got.begin());
        }
        readOffset += got.size();
    }
    if (!partial.empty())
        visit(lineOffset, detail::trimLineEnds(partial.data(), partial.data() + partial.size()));
}

} // namespace cpp
