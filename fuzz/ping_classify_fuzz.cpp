// PingRunner::classify on arbitrary output lines. Lines short enough for the
// standard regex engine are checked against the patterns themselves:
// "time[<=](\d+)ms" first, then "timed out|failed". A reply time beyond
// 32 bits throws by design; nothing else may.
#include "app/ping_runner.h"
#include "cpp/exception.h"
#include "cpp/string.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <regex>
#include <string>

namespace {

// std::regex recurses per repeated character; well below where it overflows.
constexpr std::size_t regexLimit = 2048;

// What the patterns say, or -2 for a time too large for a sample.
std::optional<std::int64_t> expected(const std::string& line) {
    static const std::regex reply("time[<=](\\d+)ms", std::regex::ECMAScript);
    static const std::regex loss("timed out|failed", std::regex::ECMAScript);
    std::smatch match;
    if (std::regex_search(line, match, reply)) {
        std::string digits = match[1].str();
        digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
        const bool tooLarge = digits.size() > 10 || std::stoll(digits) > std::numeric_limits<std::int32_t>::max();
        return tooLarge ? -2 : std::stoll(digits);
    }
    if (std::regex_search(line, loss)) {
        return -1;
    }
    return std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const cpp::String line(std::string(reinterpret_cast<const char*>(data), size));
    std::optional<std::int64_t> result;
    try {
        result = PingRunner::classify(line);
    } catch (const cpp::Exception& error) {
        if (std::strcmp(error.what(), "range error while parsing integer") != 0) {
            std::abort();
        }
        result = -2;
    }
    if (size <= regexLimit && result != expected(line)) {
        std::abort();
    }
    return 0;
}
