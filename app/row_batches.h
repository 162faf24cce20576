#pragma once

#include "app/data_file.h"
#include "app/load_plan.h"
#include "app/scale_buckets.h"
#include "cpp/async_io.h"
#include "cpp/file_path.h"
#include "cpp/thread.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <vector>

// The rows of a part of a data file, read and parsed on a thread of its own
// while the caller merges the rows before them: loading a file costs about
// the larger of the two rather than their sum. Rows come in file order, a
// batch at a time, until the part or the file ends or a read fails; the rows
// before that come all the same. A line with a number outside 64 bits is no
// row: one damaged line does not hide the history after it. The reading thread drives an
// I/O service of its own: a thread that shared one could take the completion
// of a read the reader is blocked waiting for, and leave it waiting forever.
class RowBatches {
public:
    static constexpr std::size_t batchSize = 4096;

    // Each row's start as the store counts it: whole seconds since
    // originSeconds, as seconds since 1970.
    RowBatches(const cpp::FilePath& path, const FilePart& part, std::int64_t originSeconds);
    // Stops the reading and waits for its thread.
    ~RowBatches();
    RowBatches(const RowBatches&) = delete;
    RowBatches& operator=(const RowBatches&) = delete;

    // The next batch, waiting for it; empty after the last.
    std::vector<TimedStats> next();
    // Reads no further; next gives nothing more.
    void stop();

private:
    void read(const cpp::FilePath& path, const FilePart& part, std::int64_t originSeconds);
    // Hands a batch over, waiting while enough are ready. False once stopped.
    bool hand(std::vector<TimedStats>& batch);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<TimedStats>> ready_;
    bool ended_ = false;
    bool stopped_ = false;
    cpp::Thread reader_;
};
