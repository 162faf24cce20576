#pragma once

#include "cpp/file_path.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace cpp {

// A file that lives only as long as this object: made anew, written by
// position, read back through read-only views that the system pages in only
// when they are read, and deleted when the object goes. Its pages are file
// pages, not the program's memory, so whatever it holds costs resident memory
// only while someone reads it. On Windows the file is opened delete-on-close,
// so the system deletes it even when the program dies; on POSIX it is
// unlinked as soon as it is made. Not safe for concurrent use.
class ScratchFile {
public:
    // Makes path anew, replacing a file of that name. Nothing when the system
    // refuses (no folder, no rights, a name in use by another process).
    static std::unique_ptr<ScratchFile> create(const FilePath& path);
    // This process's number, which no other running process has: for names
    // that two instances must not share.
    static std::uint64_t processNumber();

    virtual ~ScratchFile() = default;

    // Grows the file to size bytes with the disk space taken at once, so
    // that writing within it can fail only for a broken disk. False when the
    // disk has less than size + keepFree free, or refuses.
    virtual bool reserve(std::uint64_t size, std::uint64_t keepFree) = 0;
    // Writes bytes at offset, within the reserved size. False on failure.
    virtual bool write(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
    // A read-only view of [offset, offset + size) of the reserved file,
    // valid until the file goes. offset is a multiple of viewAlignment.
    // Null when the system refuses.
    virtual const std::uint8_t* map(std::uint64_t offset, std::size_t size) = 0;
    // Gives a view of map back; the file's pages it held stop counting as
    // the program's.
    virtual void unmap(const std::uint8_t* view) = 0;

    // Views start at multiples of this.
    static constexpr std::uint64_t viewAlignment = 65536;
};

} // namespace cpp
