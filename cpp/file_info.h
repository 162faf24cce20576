#pragma once

#include "cpp/file_path.h"
#include "cpp/time.h"

#include <cstdint>
#include <memory>

namespace cpp {

// The attributes of one path as they were when the snapshot was made. Copies
// share the snapshot.
class FileInfo {
public:
    struct Fields {
        FilePath path;
        // The attributes were read, or reading them was refused for lack of
        // access (then everything below is zero or false).
        bool exists = false;
        // The attributes were read.
        bool valid = false;
        std::uint64_t size = 0;
        bool isDirectory = false;
        bool isReadOnly = false;
        bool isHidden = false;
        // Whole seconds.
        DateTime created{Duration()};
        DateTime modified{Duration()};
        DateTime accessed{Duration()};
    };

    // Reads the attributes at once.
    explicit FileInfo(const FilePath& path);

    const FilePath& path() const { return fields_->path; }
    bool exists() const { return fields_->exists; }
    bool valid() const { return fields_->valid; }
    std::uint64_t size() const { return fields_->size; }
    bool isDirectory() const { return fields_->isDirectory; }
    bool isReadOnly() const { return fields_->isReadOnly; }
    bool isHidden() const { return fields_->isHidden; }
    const DateTime& created() const { return fields_->created; }
    const DateTime& modified() const { return fields_->modified; }
    const DateTime& accessed() const { return fields_->accessed; }

private:
    std::shared_ptr<const Fields> fields_;
};

} // namespace cpp
