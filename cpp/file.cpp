#include "cpp/file.h"

#include "cpp/file_info.h"
#include "cpp/file_platform.h"
#include "cpp/line_reader.h"

#include <cstring>

namespace cpp {

namespace {

// Reads and writes go through buffers of this size, unless a reader asks
// for another.
constexpr std::size_t readBufferSize = 65536;

// Others may read while we write.
constexpr File::Sharing writeSharing = 1;
// Others may read and write while we read.
constexpr File::Sharing readSharing = 2;
// Others may read, and replace the file, while we keep other writers out.
constexpr File::Sharing replaceableSharing = 4;

void listInto(const FilePath& folder, std::vector<FilePath>& files) {
    for (const detail::FolderEntry& entry : detail::folderEntries(folder)) {
        const FilePath path(folder, entry.name);
        if (entry.isDirectory) {
            listInto(path, files);
        } else {
            files.push_back(path);
        }
    }
}

} // namespace

File::Handle::Handle(std::unique_ptr<Detail> detail) : detail_(std::move(detail)) {}

File::Handle::~Handle() = default;

bool File::Handle::isOpen() {
    return detail_->isOpen();
}

TextSpan File::Handle::read(std::span<char> buffer, const Duration& timeout) {
    return detail_->read(buffer, timeout);
}

TextSpan File::Handle::write(TextSpan bytes) {
    return detail_->write(bytes);
}

void File::Handle::flush() {
    detail_->flush();
}

void File::Handle::close() {
    detail_->close();
}

File::Mode File::Handle::mode() const {
    return detail_->mode();
}

std::uint64_t File::Handle::writePosition() const {
    return detail_->writePosition();
}

void File::Handle::truncate() {
    detail_->truncate();
}

void File::Handle::sync() {
    detail_->sync();
}

String toString(File::Status status) {
    switch (status) {
    case File::Status::Success:
        return "Success";
    case File::Status::Access:
        return "Access";
    case File::Status::NoEntry:
        return "NoEntry";
    case File::Status::Invalid:
        return "Invalid";
    case File::Status::Exists:
        return "Exists";
    case File::Status::NotEmpty:
        return "NotEmpty";
    default:
        return "Unknown";
    }
}

String formatText(File::Status status) {
    return toString(status);
}

File::Exception::Exception(Status status)
    : IOException(toString(status)), errorCode_(static_cast<std::int32_t>(status)) {}

Input File::openForReading(const FilePath& path, std::int64_t position, const AsyncIO& service,
                           std::size_t bufferSize) {
    return Input(Handle::open(path, Mode::Read, readSharing, position, bufferSize, service));
}

Output File::openForWriting(const FilePath& path, const AsyncIO& service) {
    return Output(Handle::open(path, Mode::Create, writeSharing, 0, readBufferSize, service));
}

Output File::openForOverwriting(const FilePath& path, const AsyncIO& service) {
    return Output(Handle::open(path, Mode::OpenOrCreate, writeSharing, 0, readBufferSize, service));
}

Output File::openForAppending(const FilePath& path, const AsyncIO& service) {
    return Output(Handle::open(path, Mode::OpenOrCreate, writeSharing, -1, readBufferSize, service));
}

Output File::openForWritingAt(const FilePath& path, std::uint64_t position, const AsyncIO& service) {
    return Output(Handle::open(path, Mode::OpenOrCreate, writeSharing, static_cast<std::int64_t>(position),
                               readBufferSize, service));
}

Output File::openForReplacing(const FilePath& path, const AsyncIO& service) {
    return Output(Handle::open(path, Mode::OpenOrCreate, replaceableSharing, 0, readBufferSize, service));
}

bool File::exists(const FilePath& path) {
    return FileInfo(path).exists();
}

File::Status File::remove(const FilePath& path) {
    if (FileInfo(path).isDirectory()) {
        const Status status = detail::removeFolder(path);
        // Someone else was quicker; the folder is gone either way.
        return status == Status::NoEntry ? Status::Success : status;
    }
    return detail::removeFile(path);
}

// A missing source is asked about first: the shell has been seen to report
// moving nothing as success.
File::Status File::move(const FilePath& from, const FilePath& to) {
    return exists(from) ? detail::moveFiles(from, to) : Status::NoEntry;
}

File::Status File::copy(const FilePath& from, const FilePath& to) {
    return exists(from) ? detail::copyFiles(from, to) : Status::NoEntry;
}

File::Status File::replace(const FilePath& from, const FilePath& to) {
    return detail::replaceFile(from, to);
}

bool File::equal(const FilePath& a, const FilePath& b) {
    const FileInfo infoA(a);
    const FileInfo infoB(b);
    // Missing or unreadable files have no contents to compare; opening them
    // would throw where callers expect an answer.
    if (!infoA.valid() || !infoB.valid() || infoA.isDirectory() || infoB.isDirectory()) {
        return false;
    }
    if (infoA.size() != infoB.size()) {
        return false;
    }
    ByteReader chunks(openForReading(a, 0, AsyncIO()), readBufferSize, Duration::infinite);
    const Input inputB = openForReading(b, 0, AsyncIO());
    std::vector<char> bytesB(readBufferSize);
    for (const ByteReader::Chunk& chunk : chunks) {
        if (chunk.bytes.empty()) {
            continue;
        }
        try {
            const TextSpan got = inputB.get(std::span<char>(bytesB.data(), chunk.bytes.size()));
            if (std::memcmp(got.begin(), chunk.bytes.begin(), got.size()) != 0) {
                return false;
            }
        } catch (const EOFException&) {
            // b was cut short after its size was read.
            return false;
        }
    }
    return true;
}

File::Status File::createDirectory(const FilePath& path) {
    const FileInfo info(path);
    if (info.exists()) {
        return info.isDirectory() ? Status::Success : Status::Exists;
    }
    if (path.components().size() >= 2) {
        const FilePath parent = path.parent();
        if (!FileInfo(parent).exists()) {
            const Status status = createDirectory(parent);
            if (status != Status::Success) {
                return status;
            }
        }
    }
    return detail::createFolder(path);
}

std::vector<FilePath> File::list(const FilePath& folder) {
    std::vector<FilePath> files;
    listInto(folder, files);
    return files;
}

void File::truncate(const Output& output) {
    auto* handle = dynamic_cast<Handle*>(output.sink().get());
    IOException::check(handle != nullptr, "Unable to truncate file (SetFilePointerEx)");
    handle->truncate();
}

void File::sync(const Output& output) {
    auto* handle = dynamic_cast<Handle*>(output.sink().get());
    IOException::check(handle != nullptr, "Unable to write file through to the disk");
    handle->sync();
}

} // namespace cpp
