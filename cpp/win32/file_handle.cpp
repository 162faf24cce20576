#include "cpp/file.h"

#include "cpp/data_buffer.h"
#include "cpp/exception.h"
#include "cpp/file_platform.h"
#include "cpp/write_queue.h"
#include "cpp/win32/windows_exception.h"

#include <asio/buffer.hpp>
#include <asio/io_context.hpp>
#include <asio/windows/random_access_handle.hpp>

// After asio, which wants winsock2.h in before windows.h.
#include "cpp/win32/unique_handle.h"

#include <algorithm>
#include <string>
#include <utility>

#include <windows.h>

namespace cpp {

namespace {

DWORD shareMode(File::Sharing sharing) {
    switch (sharing) {
    case 1:
        return FILE_SHARE_READ;
    case 2:
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    case 3:
        return FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    case 4:
        return FILE_SHARE_READ | FILE_SHARE_DELETE;
    default:
        return 0;
    }
}

bool isWriting(File::Mode mode) {
    return mode == File::Mode::Create || mode == File::Mode::OpenOrCreate;
}

// Overlapped reads and writes on the handle's own service, which only the
// thread using the handle drives, so the completion handlers below run on
// that thread and need no lock.
class OverlappedFile final : public File::Handle::Detail {
public:
    using Mode = File::Mode;

    OverlappedFile(AsyncIO service, Mode mode, std::uint64_t size, std::uint64_t position, std::size_t bufferSize)
        : service_(std::move(service)),
          file_(service_.context()),
          mode_(mode),
          sizeAtOpen_(size),
          readOffset_(position),
          buffer_(bufferSize),
          writeOffset_(position) {}

    ~OverlappedFile() override {
        try {
            close();
        } catch (...) {
            // The service failed while we waited; the handle is closed
            // anyway and nothing is left to report to.
        }
    }

    void assign(windows::UniqueFileHandle handle) {
        file_.assign(handle.get());
        handle.release();
    }

    void startReading() {
        if (!isWriting(mode_)) {
            startRead();
        }
    }

    bool isOpen() override { return file_.is_open() || !buffer_.empty(); }

    TextSpan read(std::span<char> destination, const Duration& timeout) override {
        const TextSpan nothing(destination.data(), destination.data());
        if (isWriting(mode_)) {
            return nothing;
        }
        const Stopwatch stopwatch;
        for (;;) {
            if (!buffer_.empty()) {
                return buffer_.take(destination);
            }
            if (!file_.is_open()) {
                return nothing;
            }
            if (!readInFlight_) {
                startRead();
                continue;
            }
            const Duration elapsed = stopwatch.elapsed();
            if (elapsed >= timeout) {
                // A read that has completed meanwhile is still delivered.
                if (service_.pollOne() && !buffer_.empty()) {
                    continue;
                }
                return nothing;
            }
            const bool ran = timeout.isInfinite() || readOffset_ < sizeAtOpen_ ? service_.runOne()
                                                                               : service_.runFor(timeout - elapsed);
            if (!ran && service_.stopped()) {
                // No completion can come any more.
                closeFile();
            }
        }
    }

    TextSpan write(TextSpan bytes) override {
        if (bytes.empty()) {
            return bytes;
        }
        if (!file_.is_open()) {
            return TextSpan(bytes.begin(), bytes.begin());
        }
        queue_.add(writeOffset_, bytes);
        writeOffset_ += bytes.size();
        if (!writeInFlight_) {
            startWrite();
        }
        service_.pollOne();
        return bytes;
    }

    void flush() override {
        while (file_.is_open() && !queue_.empty() && service_.runOne()) {
        }
    }

    void close() override {
        flush();
        closeFile();
        while ((readInFlight_ || writeInFlight_) && service_.runOne()) {
        }
    }

    Mode mode() const override { return mode_; }
    std::uint64_t writePosition() const override { return writeOffset_; }

    void truncate() override {
        LARGE_INTEGER position;
        position.QuadPart = static_cast<LONGLONG>(writeOffset_);
        IOException::check(file_.is_open() && SetFilePointerEx(file_.native_handle(), position, nullptr, FILE_BEGIN),
                           "Unable to truncate file (SetFilePointerEx)");
        IOException::check(SetEndOfFile(file_.native_handle()), "Unable to truncate file (SetEndOfFile)");
    }

    void sync() override {
        flush();
        IOException::check(file_.is_open() && FlushFileBuffers(file_.native_handle()),
                           "Unable to write file through to the disk");
    }

private:
    // Only while the buffer is empty, so nothing else touches its free space
    // while the system fills it.
    void startRead() {
        const std::span<char> room = buffer_.freeSpace();
        std::size_t wanted = room.size();
        if (mode_ == Mode::Read) {
            if (readOffset_ >= sizeAtOpen_) {
                closeFile();
                return;
            }
            wanted = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, sizeAtOpen_ - readOffset_));
        }
        readInFlight_ = true;
        file_.async_read_some_at(readOffset_, asio::buffer(room.data(), wanted),
                                 [this](const asio::error_code& error, std::size_t count) {
                                     readInFlight_ = false;
                                     // The end of the file arrives as an error too.
                                     if (error || count == 0) {
                                         closeFile();
                                         return;
                                     }
                                     buffer_.commit(count);
                                     readOffset_ += count;
                                 });
    }

    void startWrite() {
        const WriteQueue::Write& front = queue_.front();
        writeInFlight_ = true;
        file_.async_write_some_at(front.offset + frontWritten_,
                                  asio::buffer(front.bytes.data() + frontWritten_, front.bytes.size() - frontWritten_),
                                  [this](const asio::error_code& error, std::size_t count) { written(error, count); });
    }

    void written(const asio::error_code& error, std::size_t count) {
        writeInFlight_ = false;
        if (error) {
            // The closed handle is what the writer sees next.
            closeFile();
            queue_.clear();
            frontWritten_ = 0;
            return;
        }
        frontWritten_ += count;
        if (frontWritten_ >= queue_.front().bytes.size()) {
            queue_.pop();
            frontWritten_ = 0;
        }
        if (!queue_.empty() && file_.is_open()) {
            startWrite();
        }
    }

    void closeFile() {
        asio::error_code ignored;
        // Operations still in flight complete as aborted; a failure to close
        // leaves nothing that could be done about it.
        file_.close(ignored);
    }

    // First, so that it outlives the handle bound to it.
    AsyncIO service_;
    asio::windows::random_access_handle file_;
    const Mode mode_;
    const std::uint64_t sizeAtOpen_;
    std::uint64_t readOffset_;
    DataBuffer buffer_;
    bool readInFlight_ = false;
    std::uint64_t writeOffset_;
    WriteQueue queue_;
    std::size_t frontWritten_ = 0;
    bool writeInFlight_ = false;
};

} // namespace

std::shared_ptr<File::Handle> File::Handle::open(const FilePath& path, Mode mode, Sharing sharing,
                                                 std::int64_t position, std::size_t bufferSize,
                                                 const AsyncIO& service) {
    const std::wstring name = path.toString('\\').toWide();
    const bool writing = isWriting(mode);
    if (writing) {
        // An open that cannot follow reports for itself.
        File::createDirectory(path.parent());
    }
    DWORD disposition = OPEN_EXISTING;
    if (mode == Mode::Create) {
        disposition = CREATE_ALWAYS;
    } else if (mode == Mode::OpenOrCreate) {
        disposition = OPEN_ALWAYS;
    }
    windows::UniqueFileHandle handle(CreateFileW(name.c_str(), writing ? GENERIC_WRITE : GENERIC_READ,
                                                 shareMode(sharing), nullptr, disposition,
                                                 FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) {
        const DWORD error = GetLastError();
        const String message("Unable to open file: error( % )", error);
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
            throw FileInUseException(message);
        }
        throw IOException(message);
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle.get(), &size)) {
        throw windows::Exception();
    }
    const auto bytes = static_cast<std::uint64_t>(size.QuadPart);
    const std::uint64_t start = position < 0 ? bytes : static_cast<std::uint64_t>(position);
    auto detail = std::make_unique<OverlappedFile>(service, mode, bytes, start, bufferSize);
    detail->assign(std::move(handle));
    // The first read is under way before anyone asks.
    detail->startReading();
    return std::shared_ptr<Handle>(new Handle(std::move(detail)));
}

} // namespace cpp
