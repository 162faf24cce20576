#include "cpp/property_file.h"

#include "cpp/exception.h"
#include "cpp/file.h"
#include "cpp/file_info.h"
#include "cpp/line_reader.h"
#include "cpp/logger.h"
#include "cpp/stream.h"
#include "cpp/thread.h"

#include <utility>

namespace cpp {

namespace {

// Between attempts while another process has the file open for writing.
const Duration retryDelay = Duration::milliseconds(200);
constexpr int appendAttempts = 3;
constexpr std::size_t lineBufferSize = 4096;

const TextSpan delimiters(" \t\r\n:=");

// A failed write closes the handle rather than throwing, so it is asked for
// after the bytes have reached the file.
void finish(const Output& output) {
    output.flush();
    IOException::check(output.isOpen(), "Unable to write file");
}

} // namespace

PropertyFile::PropertyFile(AsyncIO service, CompactionHook onStep)
    : service_(std::move(service)), onStep_(std::move(onStep)) {}

bool PropertyFile::writable(TextSpan key, TextSpan value) {
    if (key.empty() || key.findFirstOf(delimiters) != TextSpan::notFound || key[0] == '#' ||
        (key.size() >= 2 && key[0] == '/' && key[1] == '/') || key.view() == "[remove]") {
        return false;
    }
    // A line break would end the line early and let the rest of the value
    // pass for lines of its own.
    return value.findFirstOf("\r\n") == TextSpan::notFound;
}

void PropertyFile::load(const FilePath& path, Duration timeout) {
    path_ = path;
    if (path_.empty() || !FileInfo(path_).exists()) {
        return;
    }
    // Every attempt starts from these, so that a half-done attempt is never
    // merged twice.
    const PropertyMap base = values_;
    const Stopwatch stopwatch;
    for (;;) {
        if (stopwatch.elapsed() >= timeout) {
            throw TimeoutException("The operation timed out");
        }
        try {
            compact(base);
            return;
        } catch (const IOException& error) {
            debug(String("Unable to load %, retrying: %", path_, error.what()));
        }
        Thread::sleep(retryDelay);
    }
}

void PropertyFile::compact(const PropertyMap& base) {
    // Held until the new file has taken its place, so that no one appends
    // to contents that are about to be replaced.
    Output lock;
    try {
        lock = File::openForReplacing(path_, service_);
        reached(CompactionStep::Locked);
    } catch (const FileInUseException&) {
        throw;
    } catch (const IOException& error) {
        // Not another writer: a file or folder we may not write (read-only,
        // write-protected), which no wait would change. Its lines are used
        // as they are; a start that may write compacts them.
        debug(String("Unable to compact %, reading it as it is: %", path_, error.what()));
    }
    PropertyMap merged = base;
    LineReader reader(File::openForReading(path_, 0, service_), lineBufferSize, Duration::infinite);
    for (const LineReader::Line& line : reader) {
        if (line.hasLine()) {
            merged.parse(line.text);
        }
    }
    reader.close();
    values_ = std::move(merged);
    reached(CompactionStep::Read);
    if (!lock) {
        return;
    }

    try {
        replaceWithValues(lock);
    } catch (const IOException& error) {
        // The old file still replays to these values.
        debug(String("Unable to compact %: %", path_, error.what()));
    }
    if (lock.isOpen()) {
        lock.close();
        reached(CompactionStep::Released);
    }
}

void PropertyFile::replaceWithValues(const Output& lock) {
    const FilePath replacement(path_.parent(), String("%.new", path_.fileName()));
    const Output output = File::openForWriting(replacement, service_);
    try {
        for (const auto& [key, value] : values_) {
            // Such a pair can only have been set in memory; as a line it
            // would read back as something else.
            if (writable(key, value)) {
                output.print("%\t%\n", key, value);
            }
        }
        reached(CompactionStep::Written);
        // Renamed before it is on the disk, it could come back empty after
        // the system stops.
        finish(output);
        File::sync(output);
        output.close();
        reached(CompactionStep::Synced);

        File::Status status = File::replace(replacement, path_);
        if (status == File::Status::Access) {
            // Some systems replace no open file, however shared, so the lock
            // goes first. A writer that gets in now holds the file open and
            // makes the replacement fail, and its line stays in the old file.
            lock.close();
            reached(CompactionStep::Released);
            status = File::replace(replacement, path_);
        }
        if (status != File::Status::Success) {
            throw IOException(String("Unable to replace the file: %", status));
        }
    } catch (const IOException&) {
        output.close();
        File::remove(replacement);
        throw;
    }
    reached(CompactionStep::Replaced);
}

void PropertyFile::reached(CompactionStep step) const {
    if (onStep_) {
        onStep_(step);
    }
}

bool PropertyFile::set(const String& key, const String& value) {
    values_.set(key, value);
    if (path_.empty()) {
        return false;
    }
    if (!writable(key, value)) {
        warning(String("Setting % kept in memory only: its value cannot be stored as one line", key));
        return false;
    }
    const String line("%\t%\n", key, value);
    for (int attempt = 1;; ++attempt) {
        try {
            const Output output = File::openForAppending(path_, service_);
            output.put(line);
            finish(output);
            output.close();
            return true;
        } catch (const IOException& error) {
            debug(String("Unable to append to %: %", path_, error.what()));
        }
        if (attempt == appendAttempts) {
            return false;
        }
        Thread::sleep(retryDelay);
    }
}

} // namespace cpp
