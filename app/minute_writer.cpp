#include "app/minute_writer.h"

#include "cpp/exception.h"
#include "cpp/file.h"
#include "cpp/file_info.h"
#include "cpp/logger.h"

#include <string>

using cpp::String;

const cpp::Duration MinuteWriter::retryDelay = cpp::Duration::seconds(60);

namespace {

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

MinuteWriter::MinuteWriter(std::shared_ptr<Clock> clock, DataDirectory directory)
    : clock_(std::move(clock)), directory_(std::move(directory)), lastOpenFailure_(clock_->monotonic()) {}

cpp::FilePath MinuteWriter::dataFile(const String& name) const {
    return cpp::FilePath(directory_(), dataFileName(name));
}

void MinuteWriter::write(const String& name, const DataRow& row) {
    std::lock_guard lock(mutex_);
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
        file->second.put(formatDataRow(row.start, row.stats));
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

void MinuteWriter::remove(const String& name) {
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
}
