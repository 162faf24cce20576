#include "app/load_plan.h"

#include "app/data_file.h"
#include "cpp/each_line.h"
#include "cpp/file.h"
#include "cpp/floor_div.h"

#include <algorithm>
#include <array>
#include <exception>
#include <optional>

namespace load_plan {

namespace {

const std::size_t bufferSize = 65536;

// The first line of a run of lines whose rows start on one day.
struct Run {
    std::uint64_t offset = 0;
    std::int64_t day = 0;
};

std::int64_t wholeSeconds(const cpp::DateTime& time) {
    return static_cast<std::int64_t>(time.sinceEpoch().count() / 1000000u);
}

// The runs of the file, or nothing when it cannot be read or has too many.
std::optional<std::vector<Run>> runsOf(const cpp::FilePath& path, const cpp::DateTime& origin) {
    const std::int64_t originSeconds = wholeSeconds(origin);
    std::vector<Run> runs;
    bool tooMany = false;
    try {
        DataRowReader reader;
        const auto visit = [&](std::uint64_t offset, cpp::TextSpan line) {
            const std::optional<cpp::DateTime> start = reader.readStart(line);
            if (!start)
                return true;
            const std::int64_t since = wholeSeconds(*start) - originSeconds;
            // Rounded toward minus infinity, as the store's day buckets are.
            const std::int64_t day = cpp::floorDiv(since, 86400);
            if (!runs.empty() && runs.back().day == day)
                return true;
            tooMany = runs.size() == mostRuns;
            runs.push_back(Run{offset, day});
            return !tooMany;
        };
        cpp::forEachLine(cpp::File::openForReading(path, 0, cpp::AsyncIO(), cpp::File::wholeFileBufferSize),
                         bufferSize, visit);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (tooMany)
        return std::nullopt;
    return runs;
}

} // namespace

std::vector<FilePart> partsOf(const cpp::FilePath& path, const cpp::DateTime& origin) {
    const std::vector<FilePart> inOrder{FilePart{}};
    const std::optional<std::vector<Run>> runs = runsOf(path, origin);
    if (!runs || runs->empty())
        return inOrder;
    const std::int64_t last =
        std::max_element(runs->begin(), runs->end(), [](const Run& a, const Run& b) { return a.day < b.day; })->day;
    // 0 for the recent days, 1 for those before them, 2 for the rest.
    const auto spanOf = [last](std::int64_t day) -> std::size_t {
        if (day > last - recentDays)
            return 0;
        return day > last - recentDays - olderDays ? 1 : 2;
    };
    // Where each span's rows begin; the spans must follow one another, oldest first.
    std::array<std::optional<std::uint64_t>, mostParts> from;
    std::size_t previous = mostParts - 1;
    for (const Run& run : *runs) {
        const std::size_t span = spanOf(run.day);
        if (span > previous)
            return inOrder;
        if (!from[span])
            from[span] = run.offset;
        previous = span;
    }
    std::vector<FilePart> parts;
    std::uint64_t end = FilePart().end;
    for (std::size_t span = 0; span < mostParts; ++span) {
        if (!from[span])
            continue;
        parts.push_back(FilePart{*from[span], end});
        end = *from[span];
    }
    // The oldest part takes the lines before the first row too: they hold none.
    parts.back().begin = 0;
    return parts.size() == 1 ? inOrder : parts;
}

} // namespace load_plan
