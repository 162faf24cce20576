#include "cpp/file_info.h"

#include "cpp/file_platform.h"

namespace cpp {

FileInfo::FileInfo(const FilePath& path) {
    auto fields = std::make_shared<Fields>();
    fields->path = path;
    detail::readFileInfo(*fields);
    fields_ = std::move(fields);
}

} // namespace cpp
