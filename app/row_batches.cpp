#include "app/row_batches.h"

#include "cpp/each_line.h"
#include "cpp/exception.h"
#include "cpp/file.h"

namespace {

const std::size_t bufferSize = 65536;
// Batches read ahead of the merging: enough to keep both threads busy.
constexpr std::size_t readAhead = 4;

// The line's row; none for a line with a number beyond 64 bits, as for any
// other line that is no row. Returned as made, not copied.
std::optional<DataRow> rowOf(DataRowReader& rows, cpp::TextSpan line) {
    try {
        return rows.read(line);
    } catch (const cpp::Exception&) {
        return std::nullopt;
    }
}

} // namespace

RowBatches::RowBatches(const cpp::FilePath& path, const FilePart& part, std::int64_t originSeconds)
    : reader_([this, path, part, originSeconds] { read(path, part, originSeconds); }) {}

RowBatches::~RowBatches() {
    stop();
    reader_.join();
}

void RowBatches::stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    ready_.clear();
    changed_.notify_all();
}

bool RowBatches::hand(std::vector<TimedStats>& batch) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopped_ || ready_.size() < readAhead; });
    if (stopped_)
        return false;
    ready_.push_back(std::move(batch));
    changed_.notify_all();
    batch = {};
    batch.reserve(batchSize);
    return true;
}

void RowBatches::read(const cpp::FilePath& path, const FilePart& part, std::int64_t originSeconds) {
    std::vector<TimedStats> batch;
    batch.reserve(batchSize);
    const std::uint64_t length = part.end - part.begin;
    try {
        DataRowReader rows;
        cpp::forEachLine(cpp::File::openForReading(path, static_cast<std::int64_t>(part.begin), cpp::AsyncIO(),
                                                   cpp::File::wholeFileBufferSize),
                         bufferSize, [&](std::uint64_t offset, cpp::TextSpan line) {
                             if (offset >= length)
                                 return false;
                             const std::optional<DataRow> row = rowOf(rows, line);
                             if (!row)
                                 return true;
                             const auto start = static_cast<std::int64_t>(row->start.sinceEpoch().count() / 1000000u);
                             batch.push_back(TimedStats{start - originSeconds, row->stats});
                             return batch.size() < batchSize || hand(batch);
                         });
    } catch (const std::exception&) {
        // A missing file or a read error ends the rows; what was read before
        // it stays.
    }
    std::lock_guard lock(mutex_);
    if (!batch.empty() && !stopped_)
        ready_.push_back(std::move(batch));
    ended_ = true;
    changed_.notify_all();
}

std::vector<TimedStats> RowBatches::next() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ended_ || stopped_ || !ready_.empty(); });
    if (ready_.empty())
        return {};
    std::vector<TimedStats> batch = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
    return batch;
}
