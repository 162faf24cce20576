#pragma once

#include "cpp/file.h"
#include "cpp/file_info.h"
#include "cpp/file_path.h"
#include "cpp/string.h"
#include "cpp/text_span.h"
#include "cpp/time.h"

#include <cstdint>
#include <span>
#include <vector>

namespace cpp {

// The open file behind a handle; each back end derives its own.
class File::Handle::Detail {
public:
    Detail() = default;
    Detail(const Detail&) = delete;
    Detail& operator=(const Detail&) = delete;
    // Waits as close does.
    virtual ~Detail() = default;

    virtual bool isOpen() = 0;
    virtual TextSpan read(std::span<char> buffer, const Duration& timeout) = 0;
    virtual TextSpan write(TextSpan bytes) = 0;
    virtual void flush() = 0;
    virtual void close() = 0;
    virtual Mode mode() const = 0;
    virtual std::uint64_t writePosition() const = 0;
    virtual void truncate() = 0;
    virtual void sync() = 0;
};

} // namespace cpp

// What the file operations ask of the operating system; each back end
// implements it.
namespace cpp::detail {

// Fills everything after fields.path.
void readFileInfo(FileInfo::Fields& fields);

File::Status removeFile(const FilePath& path);
// With its contents. A folder that is gone already is NoEntry.
File::Status removeFolder(const FilePath& path);
File::Status moveFiles(const FilePath& from, const FilePath& to);
File::Status copyFiles(const FilePath& from, const FilePath& to);
// One file over another in one step, through to the disk.
File::Status replaceFile(const FilePath& from, const FilePath& to);
// The folder alone; its parent must exist.
File::Status createFolder(const FilePath& path);

struct FolderEntry {
    String name;
    bool isDirectory = false;
};

// The entries of folder except "." and "..", in the system's order. Empty
// when the system finds nothing to search; other failures throw.
std::vector<FolderEntry> folderEntries(const FilePath& folder);

} // namespace cpp::detail
