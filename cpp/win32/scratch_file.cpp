#include "cpp/scratch_file.h"

#include "cpp/win32/unique_handle.h"

#include <algorithm>
#include <vector>

#include <windows.h>

namespace cpp {

namespace {

class WindowsScratchFile : public ScratchFile {
public:
    WindowsScratchFile(windows::UniqueFileHandle file, std::wstring folder)
        : file_(std::move(file)), folder_(std::move(folder)) {}
    ~WindowsScratchFile() override {
        for (const void* view : views_)
            UnmapViewOfFile(view);
        // Closing the last handle deletes the file (FILE_FLAG_DELETE_ON_CLOSE).
    }

    bool reserve(std::uint64_t size, std::uint64_t keepFree) override {
        ULARGE_INTEGER available{};
        if (!GetDiskFreeSpaceExW(folder_.c_str(), &available, nullptr, nullptr) ||
            available.QuadPart < (size - reserved_) + keepFree)
            return false;
        LARGE_INTEGER end{};
        end.QuadPart = static_cast<LONGLONG>(size);
        // Not sparse: the clusters are taken when the end moves.
        if (!SetFilePointerEx(file_.get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file_.get()))
            return false;
        reserved_ = std::max(reserved_, size);
        return true;
    }

    bool write(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
        if (offset + bytes.size() > reserved_)
            return false;
        while (!bytes.empty()) {
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            const auto size = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
            DWORD written = 0;
            if (!WriteFile(file_.get(), bytes.data(), size, &written, &at) || written == 0)
                return false;
            bytes = bytes.subspan(written);
            offset += written;
        }
        return true;
    }

    const std::uint8_t* map(std::uint64_t offset, std::size_t size) override {
        if (offset % viewAlignment != 0 || offset + size > reserved_)
            return nullptr;
        const std::uint64_t end = offset + size;
        // The view keeps its section alive after the handle closes.
        windows::UniqueKernelHandle section(CreateFileMappingW(
            file_.get(), nullptr, PAGE_READONLY, static_cast<DWORD>(end >> 32), static_cast<DWORD>(end), nullptr));
        if (!section.valid())
            return nullptr;
        void* view = MapViewOfFile(section.get(), FILE_MAP_READ, static_cast<DWORD>(offset >> 32),
                                   static_cast<DWORD>(offset), size);
        if (!view)
            return nullptr;
        views_.push_back(view);
        return static_cast<const std::uint8_t*>(view);
    }

    void unmap(const std::uint8_t* view) override {
        const auto found = std::find(views_.begin(), views_.end(), view);
        if (found == views_.end())
            return;
        UnmapViewOfFile(*found);
        views_.erase(found);
    }

private:
    windows::UniqueFileHandle file_;
    const std::wstring folder_;
    std::uint64_t reserved_ = 0;
    std::vector<const void*> views_;
};

} // namespace

std::unique_ptr<ScratchFile> ScratchFile::create(const FilePath& path) {
    // No sharing: another instance cannot open it, and its removal of stale
    // files fails on this one while it lives.
    windows::UniqueFileHandle file(CreateFileW(path.toString('\\').toWide().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                               nullptr, CREATE_ALWAYS,
                                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file.valid())
        return nullptr;
    return std::make_unique<WindowsScratchFile>(std::move(file), path.parent().toString('\\').toWide());
}

std::uint64_t ScratchFile::processNumber() {
    return GetCurrentProcessId();
}

} // namespace cpp
