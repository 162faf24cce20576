#include "app/sample_store.h"

#include "app/row_batches.h"
#include "cpp/exception.h"
#include "cpp/file.h"
#include "cpp/floor_div.h"
#include "cpp/logger.h"
#include "cpp/thread.h"

#include <algorithm>
#include <string>

using cpp::DateTime;
using cpp::Duration;
using cpp::String;

const Duration SampleStore::filePeriod = Duration::seconds(60);

namespace {

std::int64_t wholeSeconds(const Duration& duration) {
    return static_cast<std::int64_t>(duration.count() / 1000000u);
}

std::int64_t scaleSeconds(const Duration& scale) {
    return std::max<std::int64_t>(1, wholeSeconds(scale));
}

} // namespace

SampleStore::SampleStore(std::shared_ptr<Clock> clock, DataDirectory directory, MinuteWriter* writer)
    : clock_(std::move(clock)), directory_(std::move(directory)), startTime_(clock_->midnight(clock_->now())),
      earliest_(startTime_.sinceEpoch().count()), writer_(writer), sessionFile_(directory_),
      combined_(sessionFile_) {}

SampleStore::Host& SampleStore::host(const String& name) {
    return perHost_.try_emplace(name, sessionFile_).first->second;
}

std::optional<SampleStore::FinishedMinute> SampleStore::addSample(const String& name, std::int32_t value) {
    std::lock_guard writing(writingMutex_);
    std::vector<DataRow> rows;
    const std::optional<FinishedMinute> finished = addToBuckets(name, value, rows);
    if (writer_) {
        for (const DataRow& row : rows)
            writer_->write(name, row);
    }
    return finished;
}

std::optional<SampleStore::FinishedMinute> SampleStore::addToBuckets(const String& name, std::int32_t value,
                                                                        std::vector<DataRow>& rows) {
    std::lock_guard lock(mutex_);
    const DateTime now = clock_->now();
    std::optional<FinishedMinute> finished;
    Host& host = this->host(name);
    const std::int64_t k = bucketIndex(now, filePeriod);
    if (!host.buckets.hasMinute(k)) {
        if (host.liveMinute == k - 1) {
            finished = FinishedMinute{bucketStart(k - 1, filePeriod), host.buckets.minute(k - 1)};
        } else {
            // This run's last minute, when a gap of more than a minute
            // follows it: no later sample closes it, so it is written now
            // or never.
            if (host.liveMinute != INT64_MIN && host.liveMinute < k - 1)
                rows.push_back(FinishedMinute{bucketStart(host.liveMinute, filePeriod),
                                                     host.buckets.minute(host.liveMinute)});
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
    if (finished)
        rows.push_back(*finished);
    return finished;
}

cpp::FilePath SampleStore::dataFile(const String& name) const {
    return cpp::FilePath(directory_(), dataFileName(name));
}

std::uint64_t SampleStore::removals(const String& name) {
    std::lock_guard lock(mutex_);
    return host(name).removals;
}

void SampleStore::loadHosts(const std::vector<String>& names, const cpp::Bus& bus,
                            std::function<void()> partLoaded) {
    // Planned once, by whichever worker gets to the file first.
    struct Plan {
        cpp::FilePath path;
        std::uint64_t seenRemovals = 0;
        std::mutex mutex;
        std::optional<std::vector<FilePart>> parts;
    };
    std::vector<std::shared_ptr<Plan>> plans;
    for (const String& name : names) {
        plans.push_back(std::make_shared<Plan>());
        plans.back()->path = dataFile(name);
        plans.back()->seenRemovals = removals(name);
    }
    for (std::size_t part = 0; part < load_plan::mostParts; ++part) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            bus.postWork([this, part, name = names[i], plan = plans[i], partLoaded] {
                std::unique_lock lock(plan->mutex);
                if (!plan->parts)
                    plan->parts = load_plan::partsOf(plan->path, startTime_);
                lock.unlock();
                if (part >= plan->parts->size())
                    return;
                loadPart(name, plan->path, (*plan->parts)[part], plan->seenRemovals);
                if (partLoaded)
                    partLoaded();
            });
        }
    }
}

void SampleStore::loadFile(const String& name, const cpp::FilePath& path) {
    loadPart(name, path, FilePart(), removals(name));
}

void SampleStore::loadPart(const String& name, const cpp::FilePath& path, const FilePart& part,
                           std::uint64_t seenRemovals) {
    cpp::debug(String("loading file: % from byte %", path, part.begin));
    // Rows go in by the batch, so that the mutex is not taken for each one.
    RowBatches batches(path, part, wholeSeconds(startTime_.sinceEpoch()));
    while (!cpp::Thread::current()->interrupted()) {
        const std::vector<TimedStats> batch = batches.next();
        if (batch.empty() || !mergeRows(name, batch, seenRemovals))
            break;
    }
    cpp::debug(String("file part complete: % from byte %", path, part.begin));
}

void SampleStore::exportHost(const String& name, const cpp::FilePath& path) const {
    cpp::debug(String("saving file: %", path));
    // Copied under the mutex, written without it: the disk holds up no query.
    std::vector<DataRow> rows;
    {
        std::lock_guard lock(mutex_);
        const auto host = perHost_.find(name);
        if (host != perHost_.end()) {
            host->second.buckets.forEachMinute([&](std::int64_t k, const PingStats& stats) {
                rows.push_back(DataRow{bucketStart(k, filePeriod), stats});
            });
        }
    }
    try {
        const cpp::Output output = cpp::File::openForWriting(path, service_);
        output.put(exportHeader);
        output.put(exportRule);
        for (const DataRow& row : rows)
            output.put(formatExportRow(row.start, row.stats));
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
    std::vector<TimedStats> timed;
    timed.reserve(rows.size());
    for (const DataRow& row : rows)
        timed.push_back(TimedStats{secondOf(row.start), row.stats});
    mergeRows(name, timed, removals(name));
}

bool SampleStore::mergeRows(const String& name, std::span<const TimedStats> rows, std::uint64_t seenRemovals) {
    if (rows.empty())
        return true;
    const std::int64_t first =
        std::min_element(rows.begin(), rows.end(), [](const TimedStats& a, const TimedStats& b) {
            return a.second < b.second;
        })->second;
    const auto earliest = static_cast<std::uint64_t>(first + wholeSeconds(startTime_.sinceEpoch())) * 1000000u;
    std::lock_guard lock(mutex_);
    Host& host = this->host(name);
    if (host.removals != seenRemovals)
        return false;
    // The host's buckets, then those of all hosts: the two do not depend on
    // each other, and each stays in the cache for the whole batch.
    host.buckets.mergeRows(rows);
    combined_.mergeRows(rows);
    earliest_.store(std::min(earliest, earliest_.load()));
    return true;
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
    return cpp::floorDiv(secondOf(time), scaleSeconds(scale));
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
    const auto position = ScaleBuckets::scalePosition(scale);
    if (source && position)
        source->copy(*position, first, result.stats);
    return result;
}

void SampleStore::removeData(const String& name) {
    std::lock_guard writing(writingMutex_);
    {
        std::lock_guard lock(mutex_);
        const auto host = perHost_.find(name);
        if (host != perHost_.end()) {
            host->second.buckets.clear();
            host->second.liveMinute = INT64_MIN;
            ++host->second.removals;
        }
    }
    if (writer_)
        writer_->remove(name);
}
