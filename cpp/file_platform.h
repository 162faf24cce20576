#pragma once

#include "cpp/file.h"
#include "cpp/file_info.h"
#include "cpp/file_path.h"
#include "cpp/string.h"

#include <vector>

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
