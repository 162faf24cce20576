#include "cpp/file_platform.h"

#include "cpp/win32/unique_handle.h"
#include "cpp/win32/windows_exception.h"

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>
#include <shellapi.h>

namespace cpp::detail {

namespace {

// Old shell codes that SHFileOperationW may still return instead of a system
// error code.
constexpr int shellAccessDeniedSource = 0x78;  // DE_ACCESSDENIEDSRC
constexpr int shellInvalidFiles = 0x7C;        // DE_INVALIDFILES
constexpr int shellFolderDestinationIsFile = 0x7E;  // DE_FLDDESTISFILE
constexpr int shellFileDestinationIsFolder = 0x80;  // DE_FILEDESTISFLD

File::Status statusOf(DWORD error) {
    switch (error) {
    case ERROR_SUCCESS:
        return File::Status::Success;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return File::Status::Access;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return File::Status::NoEntry;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        return File::Status::Exists;
    default:
        return File::Status::Unknown;
    }
}

File::Status shellStatusOf(int result) {
    switch (result) {
    case shellAccessDeniedSource:
        return File::Status::Access;
    case shellInvalidFiles:
        return File::Status::NoEntry;
    case shellFolderDestinationIsFile:
    case shellFileDestinationIsFolder:
        return File::Status::Exists;
    default:
        return statusOf(static_cast<DWORD>(result));
    }
}

// The shell wants lists of paths, each ended by a zero and the list by
// another one.
std::wstring pathList(const FilePath& path) {
    std::wstring list = path.toString('\\').toWide();
    list.push_back(L'\0');
    list.push_back(L'\0');
    return list;
}

File::Status shellOperation(UINT operation, const FilePath& from, const FilePath* to, FILEOP_FLAGS flags) {
    const std::wstring source = pathList(from);
    const std::wstring destination = to ? pathList(*to) : std::wstring();
    SHFILEOPSTRUCTW request{};
    request.wFunc = operation;
    request.pFrom = source.c_str();
    request.pTo = to ? destination.c_str() : nullptr;
    request.fFlags = flags;
    // The result is the operation's own code: the shell does not promise to
    // leave it in the thread's last error.
    const int result = SHFileOperationW(&request);
    if (result != 0) {
        return shellStatusOf(result);
    }
    // Nothing asks the user, so an abort is some failure of its own.
    return request.fAnyOperationsAborted ? File::Status::Unknown : File::Status::Success;
}

constexpr FILEOP_FLAGS quiet = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;

DateTime wholeSeconds(const FILETIME& time) {
    // 100 ns units since 1601.
    constexpr std::uint64_t unitsTo1970 = 116444736000000000ull;
    const std::uint64_t units = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    const std::uint64_t seconds = units > unitsTo1970 ? (units - unitsTo1970) / 10000000u : 0;
    return DateTime(Duration::seconds(seconds));
}

} // namespace

void readFileInfo(FileInfo::Fields& fields) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(fields.path.toString('\\').toWide().c_str(), GetFileExInfoStandard, &data)) {
        fields.exists = GetLastError() == ERROR_ACCESS_DENIED;
        return;
    }
    fields.exists = true;
    fields.valid = true;
    fields.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    fields.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    fields.isReadOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    fields.isHidden = (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    fields.created = wholeSeconds(data.ftCreationTime);
    fields.modified = wholeSeconds(data.ftLastWriteTime);
    fields.accessed = wholeSeconds(data.ftLastAccessTime);
}

File::Status removeFile(const FilePath& path) {
    return DeleteFileW(path.toString('\\').toWide().c_str()) ? File::Status::Success : statusOf(GetLastError());
}

File::Status removeFolder(const FilePath& path) {
    return shellOperation(FO_DELETE, path, nullptr, quiet);
}

File::Status moveFiles(const FilePath& from, const FilePath& to) {
    return shellOperation(FO_MOVE, from, &to, quiet | FOF_NOCONFIRMMKDIR);
}

File::Status copyFiles(const FilePath& from, const FilePath& to) {
    return shellOperation(FO_COPY, from, &to, quiet | FOF_NOCONFIRMMKDIR);
}

namespace {

// mingw-w64 declares it behind a version test that never holds.
constexpr auto fileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);

// A rename over an open file, which Windows 10 allows on NTFS when every
// opener shares delete access. Nothing when the system or file system does
// not know this kind of rename.
std::optional<File::Status> replaceOpenFile(const std::wstring& from, const std::wstring& to) {
    const windows::UniqueFileHandle source(CreateFileW(from.c_str(), DELETE | SYNCHRONIZE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!source.valid()) {
        return statusOf(GetLastError());
    }
    const std::size_t nameBytes = to.size() * sizeof(wchar_t);
    std::vector<std::byte> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->Flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(rename->FileName, to.c_str(), nameBytes + sizeof(wchar_t));
    if (SetFileInformationByHandle(source.get(), fileRenameInfoEx, rename, static_cast<DWORD>(buffer.size()))) {
        return File::Status::Success;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) {
        return std::nullopt;
    }
    return statusOf(error);
}

} // namespace

File::Status replaceFile(const FilePath& from, const FilePath& to) {
    const std::wstring source = from.toString('\\').toWide();
    const std::wstring target = to.toString('\\').toWide();
    if (const std::optional<File::Status> status = replaceOpenFile(source, target)) {
        return *status;
    }
    // The classic rename refuses while anyone, however sharing, has the
    // target open.
    return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? File::Status::Success
               : statusOf(GetLastError());
}

File::Status createFolder(const FilePath& path) {
    return CreateDirectoryW(path.toString('\\').toWide().c_str(), nullptr) ? File::Status::Success
                                                                            : statusOf(GetLastError());
}

std::vector<FolderEntry> folderEntries(const FilePath& folder) {
    WIN32_FIND_DATAW entry{};
    const windows::UniqueFind search(
        FindFirstFileW(FilePath(folder, "*").toString('\\').toWide().c_str(), &entry));
    if (!search.valid()) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) {
            return {};
        }
        throw windows::Exception();
    }
    std::vector<FolderEntry> entries;
    do {
        const String name(entry.cFileName, entry.cFileName + wcslen(entry.cFileName));
        if (name == "." || name == "..") {
            continue;
        }
        entries.push_back(FolderEntry{name, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(search.get(), &entry));
    return entries;
}

} // namespace cpp::detail
