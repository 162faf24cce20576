#include "app/sample_store.h"

#include "app/row_batches.h"
#include "cpp/exception.h"
#include "cpp/file.h"
#include "cpp/file_info.h"
#include "cpp/logger.h"
#include "cpp/program.h"
#include "cpp/thread.h"

#include <algorithm>
#include <string>

using cpp::DateTime;
using cpp::Duration;
using cpp::String;

const Duration SampleStore::filePeriod = Duration::seconds(60);
const Duration SampleStore::retryDelay = Duration::seconds(60);

const std::array<Duration, SampleStore::scaleCount> SampleStore::scales_ = [] {
    std::array<Duration, scaleCount> scales;
    for (std::size_t s = 0; s < scaleCount; ++s)
        scales[s] = Duration::seconds(static_cast<std::uint64_t>(ScaleBuckets::lengths[s]));
    return scales;
}();

namespace {

std::int64_t wholeSeconds(const Duration& duration) {
    return static_cast<std::int64_t>(duration.count() / 1000000u);
}

std::int64_t scaleSeconds(const Duration& scale) {
    return std::max<std::int64_t>(1, wholeSeconds(scale));
}

// No row is longer than this; a longer line is not one of ours.
constexpr std::uint64_t longestRow = 256;

// Opens a host's file for its next row. A crash or a full disk can leave the
// last row cut short, and a row cut in its last fields would still read as a
// row with other figures: the file is cut back to its last whole line, so a
// row is either whole or absent. A longer unended line (not a row) is only
// ended, so that nothing else goes.
cpp::Output openForRows(const cpp::FilePath& path, const cpp::AsyncIO& service) {
    const cpp::FileInfo info(path);
    if (!info.valid() || info.isDirectory() || info.size() == 0)
        return cpp::File::openForAppending(path, service);
    const std::uint64_t tailStart = info.size() > longestRow ? info.size() - longestRow : 0;
    std::string tail(static_cast<std::size_t>(info.size() - tailStart), '\0');
    cpp::File::openForReading(path, static_cast<std::int64_t>(tailStart), service).get(tail);
    if (tail.back() == '\n')
        return cpp::File::openForAppending(path, service);
    const std::size_t lastEnd = tail.rfind('\n');
    if (lastEnd == std::string::npos && tailStart > 0) {
        cpp::Output output = cpp::File::openForAppending(path, service);
        output.put("\n");
        return output;
    }
    const std::uint64_t cut = tailStart + (lastEnd == std::string::npos ? 0 : lastEnd + 1);
    cpp::Output output = cpp::File::openForWritingAt(path, cut, service);
    cpp::File::truncate(output);
    return output;
}

} // namespace

SampleStore::SampleStore(std::shared_ptr<Clock> clock, DataDirectory directory)
    : clock_(std::move(clock)), directory_(std::move(directory)), startTime_(clock_->midnight(clock_->now())),
      earliest_(startTime_.sinceEpoch().count()), sessionFile_(directory_), combined_(sessionFile_),
      lastOpenFailure_(clock_->monotonic()) {}

SampleStore::Host& SampleStore::host(const String& name) {
    return perHost_.try_emplace(name, sessionFile_).first->second;
}

std::optional<SampleStore::FinishedMinute> SampleStore::addSample(const String& name, std::int32_t value) {
    std::lock_guard lock(mutex_);
    const DateTime now = clock_->now();
    std::optional<FinishedMinute> finished;
    // This run's last minute, when a gap of more than a minute follows it:
    // no later sample closes it, so it is written now or never.
    std::optional<FinishedMinute> beforeGap;
    Host& host = this->host(name);
    const std::int64_t k = bucketIndex(now, filePeriod);
    if (!host.buckets.hasMinute(k)) {
        if (host.liveMinute == k - 1) {
            finished = FinishedMinute{bucketStart(k - 1, filePeriod), host.buckets.minute(k - 1)};
        } else {
            if (host.liveMinute != INT64_MIN && host.liveMinute < k - 1)
                beforeGap = FinishedMinute{bucketStart(host.liveMinute, filePeriod),
                                           host.buckets.minute(host.liveMinute)};
            if (!host.buckets.hasMinute(k - 1))
                finished = FinishedMinute{bucketStart(k - 1, filePeriod), PingStats()};
            // Otherwise the minute holds only rows read back from the file:
            // it is there already, and a second row for it would count it
            // twice at the next start.
        }
    }
    host.liveMinute = k;
    const std::int64_t second = secondOf(now);
    host.buckets.add(second, value);
    combined_.add(second, value);
    if (beforeGap)
        writeRow(name, beforeGap->start, beforeGap->stats);
    if (finished)
        writeRow(name, finished->start, finished->stats);
    return finished;
}

cpp::FilePath SampleStore::dataFile(const String& name) const {
    return cpp::FilePath(directory_(), dataFileName(name));
}

void SampleStore::writeRow(const String& name, const DateTime& time, const PingStats& stats) {
    auto file = files_.find(name);
    try {
        const cpp::FilePath path = dataFile(name);
        // An open file whose name is gone (its folder deleted or replaced
        // from outside) would swallow every row of the run: open afresh.
        if (file != files_.end() && !cpp::File::exists(path)) {
            files_.erase(file);
            file = files_.end();
        }
        if (file == files_.end()) {
            if (openFailed_ && clock_->monotonic() - lastOpenFailure_ < retryDelay)
                return;
            file = files_.emplace(name, openForRows(path, service_)).first;
        }
        file->second.put(formatDataRow(time, stats));
        // A failed write closes the output; finding out now lets the next
        // row open the file afresh instead of failing on the closed one.
        file->second.flush();
        if (!file->second.isOpen())
            throw cpp::IOException(String("Unable to write to file: %", path));
    } catch (const cpp::Exception&) {
        if (file != files_.end())
            files_.erase(file);
        openFailed_ = true;
        lastOpenFailure_ = clock_->monotonic();
    }
}

void SampleStore::loadHost(const String& name) {
    loadHost(name, cpp::Program::current()->bus());
}

void SampleStore::loadHost(const String& name, const cpp::Bus& bus) {
    bus.postWork([this, name, path = dataFile(name)] { loadFile(name, path); });
}

void SampleStore::loadFile(const String& name, const cpp::FilePath& path) {
    cpp::debug(String("loading file: %", path));
    // Rows go in by the batch, so that the mutex is not taken for each one.
    RowBatches batches(path, service_);
    while (!cpp::Thread::current()->interrupted()) {
        const std::vector<DataRow> batch = batches.next();
        if (batch.empty())
            break;
        mergeRows(name, batch);
    }
    cpp::debug(String("file complete: %", path));
}

void SampleStore::exportHost(const String& name, const cpp::FilePath& path) const {
    cpp::debug(String("saving file: %", path));
    try {
        std::lock_guard lock(mutex_);
        const cpp::Output output = cpp::File::openForWriting(path, service_);
        output.put(exportHeader);
        output.put(exportRule);
        const auto host = perHost_.find(name);
        if (host != perHost_.end()) {
            host->second.buckets.forEachMinute([&](std::int64_t k, const PingStats& stats) {
                output.put(formatExportRow(bucketStart(k, filePeriod), stats));
            });
        }
        output.close();
    } catch (const cpp::Exception& e) {
        cpp::debug(String("error while saving file: % :\n%", path, e.what()));
    }
    cpp::debug(String("file complete: %", path));
}

void SampleStore::mergeStats(const String& name, const DateTime& time, const PingStats& stats) {
    std::lock_guard lock(mutex_);
    mergeRow(host(name), time, stats);
}

void SampleStore::mergeRows(const String& name, const std::vector<DataRow>& rows) {
    if (rows.empty())
        return;
    std::lock_guard lock(mutex_);
    Host& host = this->host(name);
    // The host's buckets, then those of all hosts: the two do not depend on
    // each other, and each stays in the cache for the whole batch.
    std::uint64_t earliest = earliest_.load();
    for (const DataRow& row : rows) {
        earliest = std::min<std::uint64_t>(earliest, row.start.sinceEpoch().count());
        host.buckets.merge(secondOf(row.start), row.stats);
    }
    for (const DataRow& row : rows)
        combined_.merge(secondOf(row.start), row.stats);
    earliest_.store(earliest);
}

void SampleStore::mergeRow(Host& host, const DateTime& time, const PingStats& stats) {
    if (time.sinceEpoch().count() < earliest_.load())
        earliest_.store(time.sinceEpoch().count());
    const std::int64_t second = secondOf(time);
    host.buckets.merge(second, stats);
    combined_.merge(second, stats);
}

std::int64_t SampleStore::secondOf(const DateTime& time) const {
    return wholeSeconds(time.sinceEpoch()) - wholeSeconds(startTime_.sinceEpoch());
}

std::int64_t SampleStore::bucketIndex(const DateTime& time, const Duration& scale) const {
    const std::int64_t offset = secondOf(time);
    const std::int64_t length = scaleSeconds(scale);
    std::int64_t index = offset / length;
    if (offset % length != 0 && offset < 0)
        --index;
    return index;
}

DateTime SampleStore::bucketStart(std::int64_t index, const Duration& scale) const {
    const std::int64_t offset = index * scaleSeconds(scale);
    const DateTime start(Duration::seconds(static_cast<std::uint64_t>(wholeSeconds(startTime_.sinceEpoch()))));
    if (offset >= 0)
        return start + Duration::seconds(static_cast<std::uint64_t>(offset));
    return start - Duration::seconds(static_cast<std::uint64_t>(-offset));
}

DateTime SampleStore::earliest() const {
    return DateTime(Duration(earliest_.load()));
}

std::vector<Duration> SampleStore::scales() {
    return std::vector<Duration>(scales_.begin(), scales_.end());
}

Duration SampleStore::firstScale() {
    return scales_.front();
}

Duration SampleStore::nextScale(const Duration& scale) {
    const auto found = std::lower_bound(scales_.begin(), scales_.end(), scale);
    if (found == scales_.end() || found + 1 == scales_.end())
        return scale;
    return *(found + 1);
}

Duration SampleStore::previousScale(const Duration& scale) {
    const auto found = std::lower_bound(scales_.begin(), scales_.end(), scale);
    if (found == scales_.begin())
        return scale;
    return *(found - 1);
}

std::optional<std::size_t> SampleStore::scalePosition(const Duration& scale) {
    const auto found = std::lower_bound(scales_.begin(), scales_.end(), scale);
    if (found == scales_.end() || *found != scale)
        return std::nullopt;
    return static_cast<std::size_t>(found - scales_.begin());
}

PingSeries SampleStore::series(const DateTime& time, const Duration& scale, std::size_t count) const {
    std::lock_guard lock(mutex_);
    return copySeries(time, scale, count, &combined_);
}

PingSeries SampleStore::series(const DateTime& time, const Duration& scale, std::size_t count,
                               const String& name) const {
    std::lock_guard lock(mutex_);
    const auto host = perHost_.find(name);
    return copySeries(time, scale, count, host == perHost_.end() ? nullptr : &host->second.buckets);
}

PingSeries SampleStore::copySeries(const DateTime& time, const Duration& scale, std::size_t count,
                                   const ScaleBuckets* source) const {
    const std::int64_t first = bucketIndex(time, scale) - static_cast<std::int64_t>(count) + 1;
    PingSeries result{bucketStart(first, scale), scale, std::vector<PingStats>(count)};
    const auto position = scalePosition(scale);
    if (source && position)
        source->copy(*position, first, result.stats);
    return result;
}

void SampleStore::removeData(const String& name) {
    std::lock_guard lock(mutex_);
    try {
        const auto file = files_.find(name);
        if (file != files_.end()) {
            const cpp::Output output = file->second;
            files_.erase(file);
            output.close();
        }
        // A missing file is no error.
        cpp::File::remove(dataFile(name));
    } catch (const cpp::Exception&) {
        cpp::warning(String("An error occured while trying to remove data for: ") + name);
    }
    const auto host = perHost_.find(name);
    if (host == perHost_.end())
        return;
    host->second.buckets.clear();
    host->second.liveMinute = INT64_MIN;
}
