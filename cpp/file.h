#pragma once

#include "cpp/async_io.h"
#include "cpp/exception.h"
#include "cpp/file_path.h"
#include "cpp/stream.h"
#include "cpp/string.h"
#include "cpp/text_span.h"
#include "cpp/time.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace cpp {

// Files: handles for reading and writing, and operations on whole files and
// folders. The whole-file operations report failures as a Status rather than
// throwing.
class File {
public:
    enum class Status : std::int32_t {
        Success = 0,
        Access = 1,   // access denied, sharing violation
        NoEntry = 2,  // file or path not found
        Invalid = 3,
        Exists = 4,   // already exists, or a file stands where a folder is wanted
        NotEmpty = 5,
        Unknown = 6,  // anything else
    };

    // For callers that must fail on a status other than Success; the
    // operations here never throw it.
    class Exception : public IOException {
    public:
        Exception(String message, std::int32_t errorCode) : IOException(std::move(message)), errorCode_(errorCode) {}
        // The status's text as the message.
        explicit Exception(Status status);

        std::int32_t errorCode() const { return errorCode_; }
        Status status() const { return static_cast<Status>(errorCode_); }

    private:
        std::int32_t errorCode_;
    };

    enum class Mode {
        // Write; an existing file is emptied.
        Create = 0,
        // Write; opened if it exists, created otherwise.
        OpenOrCreate = 1,
        // Read an existing file up to its size at opening.
        Read = 2,
        // Read an existing file with no limit at the size at opening.
        ReadOn = 3,
    };

    // What other openers may do: 1 read; 2 read and write; 3 read, write
    // and delete; 4 read and delete (rename or replace); anything else
    // nothing.
    using Sharing = int;

    // One open file, as the source of an Input and the sink of an Output.
    // Its private service is driven only by the thread using the handle,
    // while it waits in read, flush, close or the destructor, or polls in
    // write. Closing or dropping it waits until the queued writes have
    // reached the file or failed.
    class Handle : public Input::Source, public Output::Sink {
    public:
        // A position of -1 is the end of the file. Writing modes create the
        // parent folder first. Throws IOException "Unable to open file:
        // error( <code> )" when the system refuses.
        static std::shared_ptr<Handle> open(const FilePath& path, Mode mode, Sharing sharing, std::int64_t position,
                                            std::size_t bufferSize, const AsyncIO& service);

        ~Handle() override;

        // The system handle is open or read bytes are still buffered.
        bool isOpen() override;
        TextSpan read(std::span<char> buffer, const Duration& timeout) override;
        // Queues the bytes and returns them all; never waits for the disk.
        TextSpan write(TextSpan bytes) override;
        void flush() override;
        void close() override;

        Mode mode() const;
        // Where the next write goes, queued writes included.
        std::uint64_t writePosition() const;
        // Ends the file at the write position.
        void truncate();
        // Waits for the queued writes, then until the system has them on
        // the disk. Throws IOException when the handle is closed or failed.
        void sync();

        class Detail;

    private:
        explicit Handle(std::unique_ptr<Detail> detail);

        std::unique_ptr<Detail> detail_;
    };

    // Mode Read, sharing read and write, a 64 KiB buffer unless told.
    static Input openForReading(const FilePath& path, std::int64_t position, const AsyncIO& service,
                                std::size_t bufferSize = 65536);
    // For files read through to the end: each read of the system costs
    // about the same whatever its size, under Wine a good deal.
    static constexpr std::size_t wholeFileBufferSize = std::size_t{1} << 20;
    // Mode Create from the start, others may read.
    static Output openForWriting(const FilePath& path, const AsyncIO& service);
    // Mode OpenOrCreate from the start, others may read.
    static Output openForOverwriting(const FilePath& path, const AsyncIO& service);
    // Mode OpenOrCreate at the end, others may read.
    static Output openForAppending(const FilePath& path, const AsyncIO& service);
    // Mode OpenOrCreate from position, others may read.
    static Output openForWritingAt(const FilePath& path, std::uint64_t position, const AsyncIO& service);
    // Mode OpenOrCreate from the start; others may read, and may rename or
    // replace the file while it is open. Keeps other writers out of a file
    // that is about to be replaced.
    static Output openForReplacing(const FilePath& path, const AsyncIO& service);

    static bool exists(const FilePath& path);
    // Folders go with their contents; a missing folder is a missing file.
    static Status remove(const FilePath& path);
    // Onto an existing folder, the source goes inside it.
    static Status move(const FilePath& from, const FilePath& to);
    static Status copy(const FilePath& from, const FilePath& to);
    // Puts the file from in place of the file to in one step, written
    // through to the disk: to names the old file or the new one, never a
    // mix, whenever the process or the system stops. Fails with Access while
    // to is open without delete sharing, and on systems that cannot replace
    // an open file (Windows before 10, FAT, Wine) while it is open at all.
    static Status replace(const FilePath& from, const FilePath& to);
    // Both are readable files with the same contents.
    static bool equal(const FilePath& a, const FilePath& b);
    // With any missing parents. Success if the folder is there already.
    static Status createDirectory(const FilePath& path);
    // The files under folder, recursively, in the system's order; an empty
    // list when the system finds nothing to search.
    static std::vector<FilePath> list(const FilePath& folder);
    // Cuts the output's file at its write position. Throws IOException when
    // the output is not an open file.
    static void truncate(const Output& output);
    // Handle::sync of the output's file. Throws IOException when the output
    // is not an open file.
    static void sync(const Output& output);
};

// "Success", "Access", "NoEntry", "Invalid", "Exists", "NotEmpty"; any
// other value "Unknown".
String toString(File::Status status);
String formatText(File::Status status);

} // namespace cpp
