#pragma once

#include "cpp/file_path.h"
#include "cpp/time.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

// The lines of a data file that begin in [begin, end), as byte offsets.
struct FilePart {
    std::uint64_t begin = 0;
    std::uint64_t end = std::numeric_limits<std::uint64_t>::max();

    bool operator==(const FilePart&) const = default;
};

// In which parts to load a data file: the graph follows the present, so the
// days it shows come first.
namespace load_plan {

inline constexpr std::int64_t recentDays = 32;
inline constexpr std::int64_t olderDays = 96;
inline constexpr std::size_t mostParts = 3;
// A file with more runs of one day's rows than this is in no order worth
// planning for.
inline constexpr std::size_t mostRuns = 65536;

// Days count 24 hours from origin, as the store's day buckets do; every
// shorter bucket lies within one. Newest first: the rows of the file's last recentDays days, those of the
// olderDays days before them, then the rest. A part holds every row of its
// days, so each bucket still takes its rows in the file's order, whatever
// order the parts load in. A file whose rows are not in the order of these
// spans, or that has rows of one span only, is one part, loaded in order.
// Reads the dates of the file once; a file that cannot be read is one part,
// which fails in its turn. The newest part reads to the end of the file.
std::vector<FilePart> partsOf(const cpp::FilePath& path, const cpp::DateTime& origin);

} // namespace load_plan
