#pragma once

// The store and the row reader built the plain way: one ordered map of
// buckets per scale, per host and for all hosts, every sample and row going
// into its bucket of each of the eleven scales, and rows read with the two
// regular expressions. Slow and large, but obviously right: the tests hold
// the real store to its answers, and the benchmark measures against it.

#include "app/ping_stats.h"
#include "cpp/async_io.h"
#include "cpp/exception.h"
#include "cpp/file.h"
#include "cpp/line_reader.h"
#include "cpp/string.h"
#include "cpp/thread.h"
#include "cpp/time.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>

class LiteralStore {
public:
    static constexpr std::array<std::int64_t, 11> scaleSeconds{1, 5, 15, 30, 60, 120, 300, 900, 1800, 3600, 86400};

    explicit LiteralStore(const cpp::DateTime& startTime) : start_(seconds(startTime)) {}

    // A sample at now; the finished minute's row, as the real store gives it.
    struct Finished {
        std::int64_t minute;
        PingStats stats;
    };
    std::optional<Finished> addSample(const cpp::String& name, std::int32_t value, const cpp::DateTime& now) {
        std::lock_guard lock(mutex_);
        std::optional<Finished> finished;
        Host& host = hosts_[name];
        for (std::size_t s = 0; s < scaleSeconds.size(); ++s) {
            const std::int64_t k = index(seconds(now), scaleSeconds[s]);
            auto& buckets = host.buckets[s];
            if (scaleSeconds[s] == 60 && !buckets.contains(k)) {
                const auto previous = buckets.find(k - 1);
                if (host.liveMinute == k - 1)
                    finished = Finished{k - 1, previous->second};
                else if (previous == buckets.end())
                    finished = Finished{k - 1, PingStats()};
            }
            if (scaleSeconds[s] == 60)
                host.liveMinute = k;
            buckets[k].add(value);
            combined_[s][k].add(value);
        }
        return finished;
    }

    void mergeStats(const cpp::String& name, const cpp::DateTime& time, const PingStats& stats) {
        std::lock_guard lock(mutex_);
        Host& host = hosts_[name];
        for (std::size_t s = 0; s < scaleSeconds.size(); ++s) {
            const std::int64_t k = index(seconds(time), scaleSeconds[s]);
            host.buckets[s][k].merge(stats);
            combined_[s][k].merge(stats);
        }
    }

    void removeData(const cpp::String& name) {
        std::lock_guard lock(mutex_);
        const auto host = hosts_.find(name);
        if (host == hosts_.end())
            return;
        for (auto& buckets : host->second.buckets)
            buckets.clear();
        host->second.liveMinute = INT64_MIN;
    }

    // count buckets ending with the one that holds time; no name: all hosts.
    std::vector<PingStats> series(const cpp::DateTime& time, std::int64_t scale, std::size_t count,
                                  const cpp::String* name = nullptr) const {
        std::lock_guard lock(mutex_);
        std::vector<PingStats> result(count);
        std::size_t s = 0;
        while (s < scaleSeconds.size() && scaleSeconds[s] != scale)
            ++s;
        if (s == scaleSeconds.size())
            return result;
        const Buckets* buckets = &combined_[s];
        if (name) {
            const auto host = hosts_.find(*name);
            if (host == hosts_.end())
                return result;
            buckets = &host->second.buckets[s];
        }
        const std::int64_t first = index(seconds(time), scale) - static_cast<std::int64_t>(count) + 1;
        for (std::size_t i = 0; i < count; ++i) {
            const auto found = buckets->find(first + static_cast<std::int64_t>(i));
            if (found != buckets->end())
                result[i] = found->second;
        }
        return result;
    }

    // The host's minutes that exist, oldest first, as the export lists them.
    std::vector<std::pair<std::int64_t, PingStats>> minutes(const cpp::String& name) const {
        std::lock_guard lock(mutex_);
        const auto host = hosts_.find(name);
        if (host == hosts_.end())
            return {};
        const Buckets& buckets = host->second.buckets[4];
        return {buckets.begin(), buckets.end()};
    }

private:
    using Buckets = std::map<std::int64_t, PingStats>;
    struct Host {
        std::array<Buckets, 11> buckets;
        std::int64_t liveMinute = INT64_MIN;
    };

    static std::int64_t seconds(const cpp::DateTime& time) {
        return static_cast<std::int64_t>(time.sinceEpoch().count() / 1000000u);
    }
    std::int64_t index(std::int64_t time, std::int64_t scale) const {
        const std::int64_t offset = time - start_;
        return offset / scale - (offset % scale != 0 && offset < 0 ? 1 : 0);
    }

    const std::int64_t start_;
    mutable std::mutex mutex_;
    std::array<Buckets, 11> combined_;
    std::map<cpp::String, Host> hosts_;
};

// A data file's line as the two patterns read it: nothing for a line that is
// not a row; throws cpp::Exception for a number outside 64 bits.
struct LiteralRow {
    cpp::DateTime start;
    PingStats stats;
};
inline std::optional<LiteralRow> literalParseRow(const cpp::String& line) {
    const auto fields = line.match("(.*?)\t(.*?)\t(.*?)\t(.*?)\t(.*?)\t(.*?)(?:\t(.*))?");
    if (fields.empty())
        return std::nullopt;
    const cpp::String date(fields[1]);
    const auto parts = date.match("(\\d{4})-(\\d{2})-(\\d{2}) (\\d{2}):(\\d{2}):(\\d{2})");
    if (parts.empty())
        return std::nullopt;
    const auto number = [](cpp::TextSpan text) { return static_cast<std::int32_t>(cpp::String(text).toInteger()); };
    std::tm local{};
    local.tm_year = number(parts[1]) - 1900;
    local.tm_mon = number(parts[2]) - 1;
    local.tm_mday = number(parts[3]);
    local.tm_hour = number(parts[4]);
    local.tm_min = number(parts[5]);
    local.tm_sec = number(parts[6]);
    local.tm_isdst = -1;
    LiteralRow row{cpp::DateTime(cpp::Date(local)), PingStats()};
    row.stats.count = number(fields[2]);
    row.stats.average = number(fields[3]);
    row.stats.minimum = number(fields[4]);
    row.stats.maximum = number(fields[5]);
    row.stats.drops = number(fields[6]);
    if (fields.size() > 7 && !fields[7].empty())
        row.stats.disconnects = number(fields[7]);
    return row;
}

// A data file into the store row by row, a lock each, as the loader once did:
// to the end, to an interrupted thread's next line, or to a number beyond 64 bits.
inline void literalLoadFile(LiteralStore& store, const cpp::String& name, const cpp::FilePath& path) {
    try {
        cpp::LineReader reader(cpp::File::openForReading(path, 0, cpp::AsyncIO()), 65536,
                               cpp::Duration::milliseconds(200));
        for (const cpp::LineReader::Line& line : reader) {
            if (cpp::Thread::current()->interrupted())
                break;
            if (!line.hasLine())
                continue;
            std::optional<LiteralRow> row;
            try {
                row = literalParseRow(cpp::String(line.text));
            } catch (const cpp::Exception&) {
                // A number beyond 64 bits: no row.
                continue;
            }
            if (row)
                store.mergeStats(name, row->start, row->stats);
        }
    } catch (const cpp::Exception&) {
    }
}
