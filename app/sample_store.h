#pragma once

#include "app/clock.h"
#include "app/data_file.h"
#include "app/ping_stats.h"
#include "app/scale_buckets.h"
#include "app/session_file.h"
#include "cpp/async_io.h"
#include "cpp/bus.h"
#include "cpp/file_path.h"
#include "cpp/stream.h"
#include "cpp/string.h"
#include "cpp/time.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// Ping statistics per bucket at eleven scales, for every host and for all
// hosts together. Bucket k of a scale covers [startTime + k * scale,
// startTime + (k + 1) * scale); startTime is the local midnight of the day
// the store was made and never moves, so every bucket starts on a clock
// boundary of that day. Any thread may call; queries return copies. The
// buckets live in ScaleBuckets, compactly: years of rows and months of
// samples fit in tens of megabytes.
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

    // Where the data files lie, asked anew on every use.
    using DataDirectory = std::function<cpp::FilePath()>;

    // After a data file fails to open or to take a row, no other file is
    // opened for this long.
    static const cpp::Duration retryDelay;

    explicit SampleStore(std::shared_ptr<Clock> clock = systemClock(), DataDirectory directory = dataDirectory);
    SampleStore(const SampleStore&) = delete;
    SampleStore& operator=(const SampleStore&) = delete;

    // Adds one sample value of a host at the clock's now to its bucket of
    // every scale and to the all-hosts buckets. When the sample opens a new
    // minute for the host, returns the minute before it (all zero if it got
    // no sample). A minute that got no sample in this run gives a row of
    // zeros, unless rows read back from the file filled it: then nothing,
    // as they are in the file already.
    // The finished minute is appended to the host's data file here, under
    // the mutex; a file that fails is dropped without a message. A minute
    // followed by a gap of more than a minute is not returned, but its row
    // goes to the file first, as nothing else would close it.
    std::optional<FinishedMinute> addSample(const cpp::String& name, std::int32_t value);

    // The host's data file: the data directory and dataFileName(name).
    cpp::FilePath dataFile(const cpp::String& name) const;
    // Reads the host's data file on a worker of bus (by default the current
    // program's) and returns at once. The bus's workers must stop before the
    // store goes.
    void loadHost(const cpp::String& name);
    void loadHost(const cpp::String& name, const cpp::Bus& bus);
    // Merges the rows of a data file into the host's buckets, taking the
    // mutex a few thousand rows at a time, until the file ends, the thread is
    // interrupted, or a number outside 64 bits stops it; the rows before a
    // bad number are merged, those not yet merged when the thread is
    // interrupted are not. The rows are read and parsed on a thread of their
    // own meanwhile. Never throws for the file.
    void loadFile(const cpp::String& name, const cpp::FilePath& path);
    // Writes the host's minutes as a table to path, holding the mutex
    // throughout; failures are logged, not thrown.
    void exportHost(const cpp::String& name, const cpp::FilePath& path) const;

    // Merges the statistics of a period that starts at time, read back from
    // a data file, into the one bucket of every scale that contains time.
    void mergeStats(const cpp::String& name, const cpp::DateTime& time, const PingStats& stats);
    // mergeStats for each row in order, under one taking of the mutex.
    void mergeRows(const cpp::String& name, const std::vector<DataRow>& rows);

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

    // Forgets a host's buckets, closes its data file and deletes it. The
    // all-hosts buckets keep its samples. Failures are logged as warnings.
    void removeData(const cpp::String& name);

private:
    static constexpr std::size_t scaleCount = ScaleBuckets::lengths.size();

    struct Host {
        explicit Host(SessionFile& cold) : buckets(cold) {}
        ScaleBuckets buckets;
        // The last minute that got a sample in this run. A minute that holds
        // only rows read back from the file is already in the file.
        std::int64_t liveMinute = INT64_MIN;
    };

    static const std::array<cpp::Duration, scaleCount> scales_;
    static std::optional<std::size_t> scalePosition(const cpp::Duration& scale);
    // Whole seconds since startTime.
    std::int64_t secondOf(const cpp::DateTime& time) const;
    // Under the mutex: the host's buckets, made empty if it had none.
    Host& host(const cpp::String& name);
    // Under the mutex.
    void mergeRow(Host& host, const cpp::DateTime& time, const PingStats& stats);

    // Under the mutex; a failure drops the row and the host's output.
    void writeRow(const cpp::String& name, const cpp::DateTime& time, const PingStats& stats);

    PingSeries copySeries(const cpp::DateTime& time, const cpp::Duration& scale, std::size_t count,
                          const ScaleBuckets* source) const;

    const std::shared_ptr<Clock> clock_;
    const DataDirectory directory_;
    const cpp::AsyncIO service_;
    const cpp::DateTime startTime_;
    // Microseconds since 1970; written under the mutex, read without it.
    std::atomic<std::uint64_t> earliest_;

    mutable std::mutex mutex_;
    // Before the buckets whose entries it holds.
    SessionFile sessionFile_;
    ScaleBuckets combined_;
    std::map<cpp::String, Host> perHost_;
    // The open data files, one per host that has written a row.
    std::map<cpp::String, cpp::Output> files_;
    bool openFailed_ = false;
    cpp::Time lastOpenFailure_;
};
