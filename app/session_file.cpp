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
constexpr std::size_t memorySegmentSize = std::size_t{1} << 20;

std::size_t roundedUp(std::size_t size, std::uint64_t to) {
    return static_cast<std::size_t>((size + to - 1) / to * to);
}

} // namespace

SessionFile::SessionFile(Folder folder) : folder_(std::move(folder)) {}

bool SessionFile::isSessionFileName(cpp::TextSpan name) {
    const std::string_view text = name.view();
    if (!text.starts_with(prefix) || !text.ends_with(suffix))
        return false;
    const std::string_view digits = text.substr(std::strlen(prefix), text.size() - std::strlen(prefix) - std::strlen(suffix));
    return !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool SessionFile::openFile() {
    cpp::FilePath folder;
    try {
        folder = folder_();
    } catch (const cpp::Exception&) {
        return false;
    }
    // The data folder is the program's to make; without one there is none.
    if (!cpp::FileInfo(folder).isDirectory())
        return false;
    // A file another running instance holds refuses to go.
    for (const cpp::FilePath& entry : cpp::File::list(folder)) {
        if (isSessionFileName(entry.fileName()))
            cpp::File::remove(entry);
    }
    file_ = cpp::ScratchFile::create(cpp::FilePath(folder, cpp::String("%%%", prefix, static_cast<long long>(cpp::ScratchFile::processNumber()), suffix)));
    fileEnd_ = 0;
    return file_ != nullptr;
}

void SessionFile::addSegment(std::size_t size, bool inFile) {
    if (inFile && (file_ || openFile())) {
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
    return place;
}

const std::uint8_t* SessionFile::at(Place place) const {
    return segments_[static_cast<std::size_t>(place >> offsetBits)].bytes + (place & ((Place{1} << offsetBits) - 1));
}
