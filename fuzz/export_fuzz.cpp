// The export of random buckets: rows of any figures at any minutes merged
// into a store, then written as the table. The table must be the two heading
// lines and one well-formed row per distinct minute, in ascending order.
#include "app/data_file.h"
#include "app/sample_store.h"
#include "cpp/file.h"
#include "cpp/file_path.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

namespace {

// 2023-11-14 00:00:00 UTC; minutes are counted from here, both ways.
constexpr std::int64_t originSeconds = 1699920000;

std::int32_t take(const std::uint8_t*& data, std::size_t& size) {
    std::int32_t value = 0;
    const std::size_t n = size < sizeof value ? size : sizeof value;
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

// "YYYY-MM-DD HH:MM:SS\t" and six numbers, each right-aligned in four columns
// or more, one blank apart.
bool wellFormed(const std::string& row) {
    if (row.size() < 20 || row[19] != '\t')
        return false;
    int fields = 0;
    for (std::size_t at = 20; at < row.size(); ++fields) {
        const std::size_t end = row.find(' ', row.find_first_not_of(' ', at));
        const std::string piece = row.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (piece.size() < 4 || piece.find_first_not_of(" -0123456789") != std::string::npos)
            return false;
        at = end == std::string::npos ? row.size() : end + 1;
    }
    return fields == 6;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const cpp::FilePath folder(cpp::FilePath::temp(), "tarnlet-export-fuzz");
    static const cpp::FilePath table(folder, "table.txt");
    SampleStore store(systemClock(), [] { return folder; });
    std::set<std::int64_t> minutes;
    while (size > 0) {
        const std::int64_t minute = static_cast<std::int16_t>(take(data, size));
        PingStats stats;
        stats.count = take(data, size);
        stats.average = take(data, size);
        stats.minimum = take(data, size);
        stats.maximum = take(data, size);
        stats.drops = take(data, size);
        stats.disconnects = take(data, size);
        store.mergeStats("host", cpp::DateTime(cpp::Duration(static_cast<std::uint64_t>(
                                     (originSeconds + minute * 60) * 1000000))),
                         stats);
        minutes.insert(minute);
    }
    store.exportHost("host", table);

    std::ifstream file(table.toString(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    if (line + "\n" != exportHeader)
        std::abort();
    std::getline(lines, line);
    if (line + "\n" != exportRule)
        std::abort();
    std::size_t rows = 0;
    std::string previous;
    while (std::getline(lines, line)) {
        if (!wellFormed(line) || !(previous < line.substr(0, 19)))
            std::abort();
        previous = line.substr(0, 19);
        ++rows;
    }
    if (rows != minutes.size() || text.back() != '\n')
        std::abort();
    return 0;
}
