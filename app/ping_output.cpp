#include "app/ping_output.h"

#include "cpp/exception.h"
#include "cpp/string.h"

#include <limits>
#include <string>

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t digitsEnd(std::string_view line, std::size_t first) {
    std::size_t end = first;
    while (end < line.size() && isDigit(line[end])) {
        ++end;
    }
    return end;
}

// The digits of the first "time<N" or "time=N" directly followed by "ms":
// the leftmost match of time[<=](\d+)ms. Scanned by hand, as std::regex
// recurses once per repeated character and overflows the stack on a line
// with some ten thousand digits.
std::optional<std::string_view> englishReply(std::string_view line) {
    constexpr std::string_view prefix = "time";
    for (std::size_t at = line.find(prefix); at != std::string_view::npos; at = line.find(prefix, at + 1)) {
        const std::size_t first = at + prefix.size() + 1;
        if (first > line.size() || (line[first - 1] != '<' && line[first - 1] != '=')) {
            continue;
        }
        const std::size_t end = digitsEnd(line, first);
        if (end > first && line.substr(end, 2) == "ms") {
            return line.substr(first, end - first);
        }
    }
    return std::nullopt;
}

bool englishLoss(std::string_view line) {
    return line.find("timed out") != std::string_view::npos || line.find("failed") != std::string_view::npos;
}

// The digits of the first [=<](\d+) ?(m|м): a reply time in any language.
std::optional<std::string_view> anyReply(std::string_view line) {
    constexpr std::string_view cyrillicM = "\xD0\xBC";
    for (std::size_t at = line.find_first_of("=<"); at != std::string_view::npos;
         at = line.find_first_of("=<", at + 1)) {
        const std::size_t first = at + 1;
        std::size_t unit = digitsEnd(line, first);
        if (unit == first) {
            continue;
        }
        const std::string_view digits = line.substr(first, unit - first);
        if (unit < line.size() && line[unit] == ' ') {
            ++unit;
        }
        if (line.substr(unit, 1) == "m" || line.substr(unit, cyrillicM.size()) == cyrillicM) {
            return digits;
        }
    }
    return std::nullopt;
}

std::int32_t sample(std::string_view digits) {
    const std::int64_t time = cpp::String(std::string(digits)).toInteger();
    // A sample is 32 bits; a larger time is as bogus as one beyond 64.
    if (time > std::numeric_limits<std::int32_t>::max()) {
        throw cpp::Exception("range error while parsing integer");
    }
    return static_cast<std::int32_t>(time);
}

std::string_view trimmedEnd(std::string_view line) {
    const std::size_t last = line.find_last_not_of(" \t\r\n");
    return last == std::string_view::npos ? std::string_view() : line.substr(0, last + 1);
}

// The banner and the statistics headings; some languages put a blank or a
// fullwidth colon before the end.
bool isHeading(std::string_view trimmed) {
    constexpr std::string_view fullwidthColon = "\xEF\xBC\x9A";
    return trimmed.ends_with(':') || trimmed.ends_with(fullwidthColon);
}

bool isIndented(std::string_view line) {
    return line.front() == ' ' || line.front() == '\t';
}

} // namespace

std::optional<std::int32_t> PingOutput::classify(std::string_view line) {
    if (const std::optional<std::string_view> digits = englishReply(line)) {
        part_ = Part::attempts;
        return sample(*digits);
    }
    if (englishLoss(line)) {
        part_ = Part::attempts;
        return -1;
    }
    const std::string_view trimmed = trimmedEnd(line);
    if (trimmed.empty()) {
        return std::nullopt;
    }
    if (isHeading(trimmed) || isIndented(trimmed)) {
        // The banner opens the attempts; a heading or an indented line
        // after them is the statistics block.
        if (part_ == Part::attempts) {
            part_ = Part::statistics;
        } else if (part_ == Part::opening && isHeading(trimmed)) {
            part_ = Part::attempts;
        }
        return std::nullopt;
    }
    if (const std::optional<std::string_view> digits = anyReply(trimmed)) {
        part_ = Part::attempts;
        return sample(*digits);
    }
    switch (part_) {
    case Part::opening:
        // Such as the message about a host that cannot be found, before exit.
        return std::nullopt;
    case Part::statistics:
        // ping.exe's note that it was stopped ("Control-C") ends the block.
        part_ = Part::attempts;
        return std::nullopt;
    case Part::attempts:
        break;
    }
    return -1;
}
