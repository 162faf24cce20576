#include "cpp/file_platform.h"

#include "cpp/exception.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace cpp::detail {

namespace {

// The same few outcomes as the Windows back end reports.
File::Status statusOf(int error) {
    switch (error) {
    case 0:
        return File::Status::Success;
    case EACCES:
    case EPERM:
    case EBUSY:
        return File::Status::Access;
    case ENOENT:
    case ENOTDIR:
        return File::Status::NoEntry;
    case EEXIST:
        return File::Status::Exists;
    default:
        return File::Status::Unknown;
    }
}

File::Status statusOf(const std::error_code& error) {
    return error.category() == std::generic_category() || error.category() == std::system_category()
               ? statusOf(error.value())
               : File::Status::Unknown;
}

DateTime wholeSeconds(const timespec& time) {
    return DateTime(Duration::seconds(time.tv_sec > 0 ? static_cast<std::uint64_t>(time.tv_sec) : 0));
}

// Onto an existing folder the source goes inside it, as with the shell.
std::filesystem::path destination(const FilePath& from, const FilePath& to) {
    std::filesystem::path target(to.text().c_str());
    std::error_code error;
    if (std::filesystem::is_directory(target, error)) {
        target /= std::string(from.fileName().view());
    }
    return target;
}

} // namespace

void readFileInfo(FileInfo::Fields& fields) {
    struct stat attributes {};
    if (::stat(fields.path.text().c_str(), &attributes) != 0) {
        fields.exists = errno == EACCES;
        return;
    }
    fields.exists = true;
    fields.valid = true;
    fields.isDirectory = S_ISDIR(attributes.st_mode);
    fields.size = fields.isDirectory ? 0 : static_cast<std::uint64_t>(attributes.st_size);
    fields.isReadOnly = (attributes.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    fields.isHidden = fields.path.fileName().size() > 0 && fields.path.fileName()[0] == '.';
    // No birth time in stat: the last status change stands in for it.
    fields.created = wholeSeconds(attributes.st_ctim);
    fields.modified = wholeSeconds(attributes.st_mtim);
    fields.accessed = wholeSeconds(attributes.st_atim);
}

File::Status removeFile(const FilePath& path) {
    return ::unlink(path.text().c_str()) == 0 ? File::Status::Success : statusOf(errno);
}

File::Status removeFolder(const FilePath& path) {
    std::error_code error;
    const auto removed = std::filesystem::remove_all(path.text().c_str(), error);
    if (error) {
        return statusOf(error);
    }
    return removed == 0 ? File::Status::NoEntry : File::Status::Success;
}

File::Status moveFiles(const FilePath& from, const FilePath& to) {
    std::error_code error;
    const std::filesystem::path target = destination(from, to);
    std::filesystem::rename(from.text().c_str(), target, error);
    if (error == std::errc::cross_device_link) {
        error.clear();
        std::filesystem::copy(from.text().c_str(), target,
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing,
                              error);
        if (!error) {
            std::filesystem::remove_all(from.text().c_str(), error);
        }
    }
    return error ? statusOf(error) : File::Status::Success;
}

File::Status copyFiles(const FilePath& from, const FilePath& to) {
    std::error_code error;
    std::filesystem::copy(from.text().c_str(), destination(from, to),
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing,
                          error);
    return error ? statusOf(error) : File::Status::Success;
}

File::Status replaceFile(const FilePath& from, const FilePath& to) {
    if (::rename(from.text().c_str(), to.text().c_str()) != 0) {
        return statusOf(errno);
    }
    // The rename itself is on the disk only once its folder is.
    const int folder = ::open(to.parent().text().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return statusOf(errno);
    }
    const int synced = ::fsync(folder);
    const int error = errno;
    ::close(folder);
    return synced == 0 ? File::Status::Success : statusOf(error);
}

File::Status createFolder(const FilePath& path) {
    return ::mkdir(path.text().c_str(), 0777) == 0 ? File::Status::Success : statusOf(errno);
}

std::vector<FolderEntry> folderEntries(const FilePath& folder) {
    DIR* directory = ::opendir(folder.text().c_str());
    if (!directory) {
        throw IOException(String("Unable to list folder %: %", folder, std::strerror(errno)));
    }
    std::vector<FolderEntry> entries;
    while (const dirent* entry = ::readdir(directory)) {
        const TextSpan name(entry->d_name);
        if (name.compare(".") == 0 || name.compare("..") == 0) {
            continue;
        }
        bool isDirectory = entry->d_type == DT_DIR;
        // Links are listed as files, so that a link to a parent cannot make
        // the listing endless.
        if (entry->d_type == DT_UNKNOWN) {
            struct stat attributes {};
            isDirectory = ::lstat(FilePath(folder, name).text().c_str(), &attributes) == 0 &&
                          S_ISDIR(attributes.st_mode);
        }
        entries.push_back(FolderEntry{String(name), isDirectory});
    }
    ::closedir(directory);
    return entries;
}

} // namespace cpp::detail
