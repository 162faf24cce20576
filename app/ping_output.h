#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The lines of one run of "ping.exe -t", decoded to UTF-8, in whatever
// display language Windows speaks: a banner, then one line per echo attempt,
// and a statistics block when ping.exe is stopped from its console. Each line
// is judged by its form and by where it stands, not by translated words.
//
// A line gives a reply time when it has "=" or "<" followed by digits, an
// optional blank and a unit beginning with "m" (Latin or Cyrillic):
// "time=14ms", "Zeit<1ms", "temps=9 ms", "時間 =7ms", "время=69мс",
// "tiempo<1m". Every other line after the banner, unless blank, indented or
// ending with a colon, is a failed attempt: timed out, unreachable, TTL
// expired, general failure, ... The banner and the statistics headings end
// with a colon; the statistics lines are indented; a line before the banner
// (the message about a host that cannot be found) is no attempt.
//
// English lines keep the patterns that came first, wherever they stand:
// "time=N" or "time<N" directly followed by "ms" is a reply (the leftmost
// one counts, even on a line that also says "failed"), then a line with
// "timed out" or "failed" is a lost reply.
class PingOutput {
public:
    // The result of the next line: a reply time in ms, -1 for a failed
    // attempt, nothing for any other line. Throws Exception when the time
    // does not fit a sample.
    std::optional<std::int32_t> classify(std::string_view line);

private:
    enum class Part { opening, attempts, statistics };

    Part part_ = Part::opening;
};
