#include "cpp/file.h"

#include "cpp/file_platform.h"
#include "cpp/write_queue.h"

#include "cpp/data_buffer.h"
#include "cpp/exception.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace cpp {

// Reads are plain preads into the buffer: a local file answers at once, so
// the time-out is kept without waiting. Writes go to a thread of the
// handle's own, in order, so that write never waits for the disk.
namespace {

class DescriptorFile final : public File::Handle::Detail {
public:
    using Mode = File::Mode;

    DescriptorFile(int descriptor, Mode mode, std::uint64_t size, std::uint64_t position, std::size_t bufferSize,
           AsyncIO service)
        : service_(std::move(service)),
          descriptor_(descriptor),
          mode_(mode),
          sizeAtOpen_(size),
          readOffset_(position),
          buffer_(bufferSize),
          writeOffset_(position) {}

    ~DescriptorFile() override { close(); }

    bool isOpen() override {
        if (!buffer_.empty()) {
            return true;
        }
        std::lock_guard lock(mutex_);
        return descriptor_ >= 0 && !failed_;
    }

    TextSpan read(std::span<char> destination, const Duration&) override {
        if (mode_ == Mode::Create || mode_ == Mode::OpenOrCreate) {
            // Nothing to read from a file opened for writing.
            return TextSpan(destination.data(), destination.data());
        }
        for (;;) {
            if (!buffer_.empty()) {
                return buffer_.take(destination);
            }
            if (descriptor_ < 0) {
                return TextSpan(destination.data(), destination.data());
            }
            fill();
        }
    }

    TextSpan write(TextSpan bytes) override {
        if (bytes.empty()) {
            return bytes;
        }
        {
            std::lock_guard lock(mutex_);
            if (descriptor_ < 0 || failed_) {
                return TextSpan(bytes.begin(), bytes.begin());
            }
            queue_.add(writeOffset_, bytes);
            writeOffset_ += bytes.size();
            if (!writer_.joinable()) {
                writer_ = std::thread([this] { runWriter(); });
            }
        }
        changed_.notify_all();
        return bytes;
    }

    void flush() override {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return queue_.empty() || failed_ || descriptor_ < 0; });
    }

    void close() override {
        flush();
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        if (writer_.joinable()) {
            writer_.join();
        }
        std::lock_guard lock(mutex_);
        closeDescriptor();
        queue_.clear();
    }

    Mode mode() const override { return mode_; }
    std::uint64_t writePosition() const override {
        std::lock_guard lock(mutex_);
        return writeOffset_;
    }

    void truncate() override {
        std::lock_guard lock(mutex_);
        IOException::check(descriptor_ >= 0, "Unable to truncate file (SetFilePointerEx)");
        IOException::check(::ftruncate(descriptor_, static_cast<off_t>(writeOffset_)) == 0,
                           "Unable to truncate file (SetEndOfFile)");
    }

    void sync() override {
        flush();
        std::lock_guard lock(mutex_);
        IOException::check(descriptor_ >= 0 && !failed_ && ::fsync(descriptor_) == 0,
                           "Unable to write file through to the disk");
    }

private:
    void fill() {
        const std::span<char> room = buffer_.freeSpace();
        std::size_t wanted = room.size();
        if (mode_ == Mode::Read) {
            if (readOffset_ >= sizeAtOpen_) {
                std::lock_guard lock(mutex_);
                closeDescriptor();
                return;
            }
            wanted = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, sizeAtOpen_ - readOffset_));
        }
        ssize_t got;
        do {
            got = ::pread(descriptor_, room.data(), wanted, static_cast<off_t>(readOffset_));
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            // The end of the file or a failure ends the input alike.
            std::lock_guard lock(mutex_);
            closeDescriptor();
            return;
        }
        buffer_.commit(static_cast<std::size_t>(got));
        readOffset_ += static_cast<std::uint64_t>(got);
    }

    void runWriter() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return !queue_.empty() || stopping_; });
            if (queue_.empty() || failed_) {
                return;
            }
            // Only the back entry ever grows, and only while a second one is
            // queued, so the front stays as it is while it is written.
            const WriteQueue::Write& front = queue_.front();
            const int descriptor = descriptor_;
            lock.unlock();
            const bool written = writeAll(descriptor, front.bytes, front.offset);
            lock.lock();
            if (written) {
                queue_.pop();
            } else {
                failed_ = true;
                queue_.clear();
            }
            changed_.notify_all();
            if (failed_) {
                return;
            }
        }
    }

    static bool writeAll(int descriptor, const std::string& bytes, std::uint64_t offset) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t wrote = ::pwrite(descriptor, bytes.data() + done, bytes.size() - done,
                                           static_cast<off_t>(offset + done));
            if (wrote < 0 && errno == EINTR) {
                continue;
            }
            if (wrote <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(wrote);
        }
        return true;
    }

    // Under mutex_.
    void closeDescriptor() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
            descriptor_ = -1;
        }
    }

    // Kept for the life of the handle, as the Windows back end needs one.
    AsyncIO service_;
    // The descriptor and the write state are shared with the writer thread.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int descriptor_;
    const Mode mode_;
    const std::uint64_t sizeAtOpen_;
    std::uint64_t readOffset_;
    DataBuffer buffer_;
    std::uint64_t writeOffset_;
    WriteQueue queue_;
    bool failed_ = false;
    bool stopping_ = false;
    std::thread writer_;
};

} // namespace

std::shared_ptr<File::Handle> File::Handle::open(const FilePath& path, Mode mode, Sharing, std::int64_t position,
                                                 std::size_t bufferSize, const AsyncIO& service) {
    const bool writing = mode == Mode::Create || mode == Mode::OpenOrCreate;
    if (writing) {
        // An open that cannot follow reports for itself.
        File::createDirectory(path.parent());
    }
    int flags = O_CLOEXEC;
    if (mode == Mode::Create) {
        flags |= O_WRONLY | O_CREAT | O_TRUNC;
    } else if (mode == Mode::OpenOrCreate) {
        flags |= O_WRONLY | O_CREAT;
    } else {
        flags |= O_RDONLY;
    }
    const int descriptor = ::open(path.text().c_str(), flags, 0666);
    if (descriptor < 0) {
        throw IOException(String("Unable to open file: error( % )", errno));
    }
    struct stat attributes {};
    if (::fstat(descriptor, &attributes) != 0 || S_ISDIR(attributes.st_mode)) {
        // Folders are no files here, as on Windows.
        const int error = S_ISDIR(attributes.st_mode) ? EISDIR : errno;
        ::close(descriptor);
        throw IOException(String("Unable to open file: error( % )", error));
    }
    const auto size = static_cast<std::uint64_t>(attributes.st_size);
    const std::uint64_t start = position < 0 ? size : static_cast<std::uint64_t>(position);
    return std::shared_ptr<Handle>(
        new Handle(std::make_unique<DescriptorFile>(descriptor, mode, size, start, bufferSize, service)));
}

} // namespace cpp
