#pragma once

#include "app/clock.h"
#include "app/data_file.h"
#include "app/load_plan.h"
#include "app/minute_writer.h"
#include "app/ping_stats.h"
#include "app/scale_buckets.h"
#include "app/session_file.h"
#include "cpp/async_io.h"
#include "cpp/bus.h"
#include "cpp/file_path.h"
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
#include <span>
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
    using FinishedMinute = DataRow;

    // The scale whose finished buckets go to the data files.
    static const cpp::Duration filePeriod;

    // The finished minutes go to writer, if there is one; it must outlive
    // the store.
    SampleStore(std::shared_ptr<Clock> clock, DataDirectory directory, MinuteWriter* writer = nullptr);
    SampleStore(const SampleStore&) = delete;
    SampleStore& operator=(const SampleStore&) = delete;

    // Adds one sample value of a host at the clock's now to its bucket of
    // every scale and to the all-hosts buckets. When the sample opens a new
    // minute for the host, returns the minute before it (all zero if it got
    // no sample). A minute that got no sample in this run gives a row of
    // zeros, unless rows read back from the file filled it: then nothing,
    // as they are in the file already.
    // The finished minute goes to the writer after the mutex is released,
    // so a slow disk holds up no query. A minute followed by a gap of more
    // than a minute is not returned, but its row goes to the writer first,
    // as nothing else would close it.
    std::optional<FinishedMinute> addSample(const cpp::String& name, std::int32_t value);

    // The host's data file: the data directory and dataFileName(name).
    cpp::FilePath dataFile(const cpp::String& name) const;
    // Reads the hosts' data files on the workers of bus and returns at once:
    // the newest part of every file (load_plan) before the older parts of
    // any, so the days the graph shows come first. partLoaded, if given, is
    // called on the worker after each part. The bus's workers must stop
    // before the store goes.
    void loadHosts(const std::vector<cpp::String>& names, const cpp::Bus& bus,
                   std::function<void()> partLoaded = {});
    void loadHost(const cpp::String& name, const cpp::Bus& bus) { loadHosts({name}, bus); }
    // Merges the rows of a data file into the host's buckets in the file's
    // order, taking the mutex a few thousand rows at a time, until the file
    // ends or the thread is interrupted; rows not yet merged when the thread
    // is interrupted are not. The rows are read and parsed on a thread of
    // their own meanwhile. Never throws for the file.
    void loadFile(const cpp::String& name, const cpp::FilePath& path);
    // Writes the host's minutes as a table to path, the file outside the
    // mutex; failures are logged, not thrown.
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

    // The clock the store reads "now" on; the windows that show it read theirs there too.
    const Clock& clock() const { return *clock_; }

    // The count buckets that end with the one containing time: of all hosts,
    // or of one host. A scale that is not one of ours gives all-zero buckets.
    PingSeries series(const cpp::DateTime& time, const cpp::Duration& scale, std::size_t count) const;
    PingSeries series(const cpp::DateTime& time, const cpp::Duration& scale, std::size_t count,
                      const cpp::String& name) const;

    // Forgets a host's buckets and has the writer delete its data file. The
    // all-hosts buckets keep its samples.
    void removeData(const cpp::String& name);

private:
    struct Host {
        explicit Host(SessionFile& cold) : buckets(cold) {}
        ScaleBuckets buckets;
        // The last minute that got a sample in this run. A minute that holds
        // only rows read back from the file is already in the file.
        std::int64_t liveMinute = INT64_MIN;
        // Counts removals: a part of a file planned before one is not loaded.
        std::uint64_t removals = 0;
    };

    // Whole seconds since startTime.
    std::int64_t secondOf(const cpp::DateTime& time) const;
    // addSample's work on the buckets, under the mutex; rows gets the rows
    // for the data file, oldest first.
    std::optional<FinishedMinute> addToBuckets(const cpp::String& name, std::int32_t value,
                                                  std::vector<DataRow>& rows);
    // Under the mutex: the host's buckets, made empty if it had none.
    Host& host(const cpp::String& name);
    std::uint64_t removals(const cpp::String& name);
    // Merges the rows of a part of a data file, as long as the host has seen
    // no more removals than these.
    void loadPart(const cpp::String& name, const cpp::FilePath& path, const FilePart& part,
                  std::uint64_t seenRemovals);
    // mergeRows of rows timed by secondOf; false, merging nothing, once the
    // host has seen more removals.
    bool mergeRows(const cpp::String& name, std::span<const TimedStats> rows, std::uint64_t seenRemovals);
    // Under the mutex.
    void mergeRow(Host& host, const cpp::DateTime& time, const PingStats& stats);

    PingSeries copySeries(const cpp::DateTime& time, const cpp::Duration& scale, std::size_t count,
                          const ScaleBuckets* source) const;

    const std::shared_ptr<Clock> clock_;
    const DataDirectory directory_;
    const cpp::AsyncIO service_;
    const cpp::DateTime startTime_;
    // Microseconds since 1970; written under the mutex, read without it.
    std::atomic<std::uint64_t> earliest_;

    MinuteWriter* const writer_;
    // Held from a sample's buckets until its rows are written, and while a
    // host's data is removed: no row from before a removal reaches the file
    // after it. Queries never take it.
    std::mutex writingMutex_;
    mutable std::mutex mutex_;
    // Before the buckets whose entries it holds.
    SessionFile sessionFile_;
    ScaleBuckets combined_;
    std::map<cpp::String, Host> perHost_;
};
