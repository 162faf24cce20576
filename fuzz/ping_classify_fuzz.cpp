// The runner's reading of ping.exe output: lines of arbitrary bytes decoded
// from a code page chosen by the first byte (UTF-8, 850, 866 or 932), then
// classified in order by one PingOutput. The decoded text must be valid
// UTF-8, ASCII lines must pass unchanged, and each result must be what a
// plain model says: the English patterns "time[<=](\d+)ms" and then
// "timed out|failed" anywhere, then blank, indented and colon-ended lines
// give nothing, then "[=<](\d+) ?(m|м)" gives a reply, then any other line
// after the banner is a failed attempt. A statistics line (indented, after
// the banner) never gives a sample unless it carries the English pattern.
// A reply time beyond 32 bits throws by design; nothing else may.
#include "app/ping_output.h"
#include "cpp/exception.h"
#include "cpp/oem_decoder.h"
#include "cpp/string.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace {

// std::regex recurses per repeated character; well below where it overflows.
constexpr std::size_t regexLimit = 2048;
constexpr std::int64_t tooLarge = -2;

using Result = std::optional<std::int64_t>;

std::int64_t value(std::string digits) {
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
    if (digits.size() > 10 || std::stoll(digits) > std::numeric_limits<std::int32_t>::max()) {
        return tooLarge;
    }
    return std::stoll(digits);
}

// What a line says by the rules above; part is 0 before the banner, 1 among
// the attempts, 2 in the statistics block.
Result model(const std::string& line, int& part) {
    static const std::regex english("time[<=](\\d+)ms", std::regex::ECMAScript);
    static const std::regex loss("timed out|failed", std::regex::ECMAScript);
    static const std::regex any("[=<](\\d+) ?(m|\xD0\xBC)", std::regex::ECMAScript);
    std::smatch match;
    if (std::regex_search(line, match, english)) {
        part = 1;
        return value(match[1].str());
    }
    if (std::regex_search(line, loss)) {
        part = 1;
        return -1;
    }
    std::string trimmed = line;
    while (!trimmed.empty() && std::string_view(" \t\r\n").find(trimmed.back()) != std::string_view::npos) {
        trimmed.pop_back();
    }
    if (trimmed.empty()) {
        return std::nullopt;
    }
    const bool heading = trimmed.back() == ':' || trimmed.ends_with("\xEF\xBC\x9A");
    const bool indented = trimmed[0] == ' ' || trimmed[0] == '\t';
    if (heading || indented) {
        part = part == 1 ? 2 : part == 0 && heading ? 1 : part;
        return std::nullopt;
    }
    if (std::regex_search(trimmed, match, any)) {
        part = 1;
        return value(match[1].str());
    }
    const int was = part;
    part = part == 2 ? 1 : part;
    return was == 1 ? Result(-1) : std::nullopt;
}

Result classified(PingOutput& output, const std::string& line) {
    try {
        return output.classify(line);
    } catch (const cpp::Exception& error) {
        if (std::strcmp(error.what(), "range error while parsing integer") != 0) {
            std::abort();
        }
        return tooLarge;
    }
}

bool validUtf8(const cpp::String& text) {
    for (std::size_t at = 0; at < text.size();) {
        const cpp::CodePoint decoded = text.span().decodeAt(at);
        if (decoded.value < 0) {
            return false;
        }
        at += decoded.length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    constexpr unsigned codePages[] = {cpp::OemDecoder::utf8, 850, 866, 932};
    cpp::OemDecoder decoder(codePages[data[0] % 4]);
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    PingOutput output;
    int part = 0;
    bool modelled = true;
    for (std::size_t start = 0; start <= input.size();) {
        const std::size_t stop = std::min(input.find('\n', start), input.size());
        const std::string bytes = input.substr(start, stop - start);
        start = stop + 1;
        const cpp::String line = decoder.decodeAll(bytes);
        const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
        if (!validUtf8(line) || (ascii && line != bytes)) {
            std::abort();
        }
        const Result result = classified(output, line);
        modelled = modelled && line.size() <= regexLimit;
        if (modelled && result != model(line, part)) {
            std::abort();
        }
        // The same text as a statistics line, after a banner and a reply.
        PingOutput statistics;
        statistics.classify("Pinging 10.0.0.1 with 32 bytes of data:");
        statistics.classify("Reply from 10.0.0.1: bytes=32 time=5ms TTL=64");
        const Result indented = classified(statistics, "    " + line);
        if (indented && line.find("time") == std::string::npos && line.find("failed") == std::string::npos &&
            line.find("timed out") == std::string::npos) {
            std::abort();
        }
    }
    return 0;
}
