#include "app/session_file.h"

#include "cpp/exception.h"
#include "cpp/file.h"
#include "cpp/file_info.h"
#include "cpp/string.h"

#include <algorithm>
#include <cstring>

namespace {

const char* const prefix = "tarnlet-";
const char* const suffix = ".session";

// A place is the segment's number above the byte's offset in it.
constexpr int offsetBits = 40;
constexpr std::size_t memorySegmentSize = std::size_t{64} << 10;

std::size_t roundedUp(std::size_t size, std::uint64_t to) {
    return static_cast<std::size_t>((size + to - 1) / to * to);
}

} // namespace

SessionFile::SessionFile(Folder folder) : folder_(std::move(folder)) {
    // A file another running instance holds refuses to go.
    if (const auto folder = dataFolder()) {
        for (const cpp::FilePath& entry : cpp::File::list(*folder)) {
            if (isSessionFileName(entry.fileName()))
                cpp::File::remove(entry);
        }
    }
}

std::optional<cpp::FilePath> SessionFile::dataFolder() const {
    try {
        cpp::FilePath folder = folder_();
        // The data folder is the program's to make; without one there is no file.
        if (cpp::FileInfo(folder).isDirectory())
            return folder;
    } catch (const cpp::Exception&) {
    }
    return std::nullopt;
}

bool SessionFile::isSessionFileName(cpp::TextSpan name) {
    const std::string_view text = name.view();
    if (!text.starts_with(prefix) || !text.ends_with(suffix))
        return false;
    const std::string_view digits = text.substr(std::strlen(prefix), text.size() - std::strlen(prefix) - std::strlen(suffix));
    return !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool SessionFile::openFile() {
    const auto folder = dataFolder();
    if (!folder)
        return false;
    file_ = cpp::ScratchFile::create(cpp::FilePath(
        *folder, cpp::String("%%%", prefix, static_cast<long long>(cpp::ScratchFile::processNumber()), suffix)));
    fileEnd_ = 0;
    return file_ != nullptr;
}

void SessionFile::addSegment(std::size_t size, bool inFile) {
    if (inFile && memoryBytes_ >= inMemoryFirst && (file_ || openFile())) {
        const std::size_t length = std::max(segmentSize, roundedUp(size, cpp::ScratchFile::viewAlignment));
        if (file_->reserve(fileEnd_ + length, keepFree)) {
            if (const std::uint8_t* view = file_->map(fileEnd_, length)) {
                segments_.push_back(Segment{view, length, nullptr});
                fileEnd_ += length;
                used_ = 0;
                return;
            }
        }
        // A disk that refuses now may have room later. The file stays, as
        // places in it are in use.
    }
    Segment segment;
    segment.size = std::max(memorySegmentSize, size);
    segment.memory = std::make_unique<std::uint8_t[]>(segment.size);
    memoryBytes_ += segment.size;
    segment.bytes = segment.memory.get();
    segments_.push_back(std::move(segment));
    used_ = 0;
}

SessionFile::Place SessionFile::put(std::span<const std::uint8_t> bytes) {
    if (segments_.empty() || segments_.back().size - used_ < bytes.size())
        addSegment(bytes.size(), true);
    Segment& segment = segments_.back();
    if (!segment.memory) {
        const std::uint64_t offset = fileEnd_ - segment.size + used_;
        if (!file_->write(offset, bytes)) {
            addSegment(bytes.size(), false);
            return put(bytes);
        }
    } else {
        std::copy(bytes.begin(), bytes.end(), segment.memory.get() + used_);
    }
    const Place place = (static_cast<Place>(segments_.size() - 1) << offsetBits) | used_;
    used_ += bytes.size();
    if (file_ && ++putsSinceTrim_ == putsPerTrim) {
        putsSinceTrim_ = 0;
        trim();
    }
    return place;
}

void SessionFile::trim() {
    std::uint64_t offset = 0;
    for (Segment& segment : segments_) {
        if (segment.memory)
            continue;
        // The new view first: should the system refuse it, the old one stays.
        if (const std::uint8_t* view = file_->map(offset, segment.size)) {
            file_->unmap(segment.bytes);
            segment.bytes = view;
        }
        offset += segment.size;
    }
}

const std::uint8_t* SessionFile::at(Place place) const {
    return segments_[static_cast<std::size_t>(place >> offsetBits)].bytes + (place & ((Place{1} << offsetBits) - 1));
}
