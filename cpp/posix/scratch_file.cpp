#include "cpp/scratch_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace cpp {

namespace {

class PosixScratchFile : public ScratchFile {
public:
    explicit PosixScratchFile(int descriptor) : descriptor_(descriptor) {}
    ~PosixScratchFile() override {
        for (const auto& [address, size] : views_)
            ::munmap(address, size);
        ::close(descriptor_);
    }

    bool reserve(std::uint64_t size, std::uint64_t keepFree) override {
        struct statvfs disk {};
        if (::fstatvfs(descriptor_, &disk) != 0 ||
            static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize < (size - reserved_) + keepFree)
            return false;
        // fallocate takes the blocks now: a write into a mapped hole of a
        // full disk would end the program with SIGBUS.
        if (::posix_fallocate(descriptor_, 0, static_cast<off_t>(size)) != 0)
            return false;
        reserved_ = std::max(reserved_, size);
        return true;
    }

    bool write(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
        if (offset + bytes.size() > reserved_)
            return false;
        while (!bytes.empty()) {
            const ssize_t written = ::pwrite(descriptor_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            bytes = bytes.subspan(static_cast<std::size_t>(written));
            offset += static_cast<std::uint64_t>(written);
        }
        return true;
    }

    const std::uint8_t* map(std::uint64_t offset, std::size_t size) override {
        if (offset % viewAlignment != 0 || offset + size > reserved_)
            return nullptr;
        void* address = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, descriptor_, static_cast<off_t>(offset));
        if (address == MAP_FAILED)
            return nullptr;
        views_.emplace_back(address, size);
        return static_cast<const std::uint8_t*>(address);
    }

    void unmap(const std::uint8_t* view) override {
        const auto found = std::find_if(views_.begin(), views_.end(), [view](const auto& each) { return each.first == view; });
        if (found == views_.end())
            return;
        ::munmap(found->first, found->second);
        views_.erase(found);
    }

private:
    const int descriptor_;
    std::uint64_t reserved_ = 0;
    std::vector<std::pair<void*, std::size_t>> views_;
};

} // namespace

std::unique_ptr<ScratchFile> ScratchFile::create(const FilePath& path) {
    const String text = path.text();
    const int descriptor = ::open(text.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (descriptor < 0)
        return nullptr;
    // Nothing is left to remove, whatever ends the program.
    ::unlink(text.c_str());
    return std::make_unique<PosixScratchFile>(descriptor);
}

std::uint64_t ScratchFile::processNumber() {
    return static_cast<std::uint64_t>(::getpid());
}

} // namespace cpp
