#pragma once

#include "app/clock.h"
#include "app/ping_stats.h"
#include "cpp/string.h"
#include "cpp/time.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// Ping statistics per bucket at eleven scales, for every host and for all
// hosts together. Bucket k of a scale covers [startTime + k * scale,
// startTime + (k + 1) * scale); startTime is the local midnight of the day
// the store was made and never moves, so every bucket starts on a clock
// boundary of that day. Any thread may call; queries return copies.
class SampleStore {
public:
    // A host's one-minute bucket that the first sample of the next minute
    // has closed: the row for the host's data file.
    struct FinishedMinute {
        cpp::DateTime start;
        PingStats stats;
    };

    // The scale whose finished buckets go to the data files.
    static const cpp::Duration filePeriod;

    explicit SampleStore(std::shared_ptr<Clock_t> clock = systemClock());
    SampleStore(const SampleStore&) = delete;
    SampleStore& operator=(const SampleStore&) = delete;

    // Adds one sample value of a host at the clock's now to its bucket of
    // every scale and to the all-hosts buckets. When the sample opens a new
    // minute for the host, returns the minute before it (all zero if it got
    // no sample); a minute followed by a gap of more than a minute is not
    // returned. A minute that got no sample in this run gives a row of
    // zeros, even when rows read back from the file filled it: they are in
    // the file already.
    std::optional<FinishedMinute> addSample(const cpp::String& name, std::int32_t value);

    // Merges the statistics of a period that starts at time, read back from
    // a data file, into the one bucket of every scale that contains time.
    void mergeStats(const cpp::String& name, const cpp::DateTime& time, const PingStats& stats);

    // Rounds toward minus infinity, so a bucket's start maps back to it. Times
    // count in whole seconds; a scale under a second counts as one second.
    std::int64_t bucketIndex(const cpp::DateTime& time, const cpp::Duration& scale) const;
    cpp::DateTime bucketStart(std::int64_t index, const cpp::Duration& scale) const;

    cpp::DateTime startTime() const { return startTime_; }
    // The earliest time any data covers: startTime until older rows are merged.
    cpp::DateTime earliest() const;

    // 1 s, 5 s, 15 s, 30 s, 1 min, 2 min, 5 min, 15 min, 30 min, 1 h, 24 h.
    static std::vector<cpp::Duration> scales();
    static cpp::Duration firstScale();
    // The scale after (before) the first scale not smaller than scale, or
    // scale itself at the end.
    static cpp::Duration nextScale(const cpp::Duration& scale);
    static cpp::Duration previousScale(const cpp::Duration& scale);

    // The count buckets that end with the one containing time: of all hosts,
    // or of one host. A scale that is not one of ours gives all-zero buckets.
    PingSeries series(const cpp::DateTime& time, const cpp::Duration& scale, std::size_t count) const;
    PingSeries series(const cpp::DateTime& time, const cpp::Duration& scale, std::size_t count,
                      const cpp::String& name) const;

    // Forgets a host's buckets. The all-hosts buckets keep its samples.
    void removeData(const cpp::String& name);

private:
    static constexpr std::size_t scaleCount = 11;
    // One ordered container per scale, keyed by bucket index.
    using Buckets = std::map<std::int64_t, PingStats>;
    using ScaleBuckets = std::array<Buckets, scaleCount>;

    struct Host {
        ScaleBuckets buckets;
        // The last minute that got a sample in this run. A minute that holds
        // only rows read back from the file is already in the file.
        std::int64_t liveMinute = INT64_MIN;
    };

    static const std::array<cpp::Duration, scaleCount> scales_;
    static std::optional<std::size_t> scalePosition(const cpp::Duration& scale);

    PingSeries copySeries(const cpp::DateTime& time, const cpp::Duration& scale, std::size_t count,
                          const ScaleBuckets* source) const;

    const std::shared_ptr<Clock_t> clock_;
    const cpp::DateTime startTime_;
    // Microseconds since 1970; written under the mutex, read without it.
    std::atomic<std::uint64_t> earliest_;

    mutable std::mutex mutex_;
    ScaleBuckets combined_;
    std::map<cpp::String, Host> perHost_;
};
