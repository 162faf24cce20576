#pragma once

#include "cpp/file_path.h"

#include <string>

#include <sys/mount.h>

namespace cpp {

// File systems mounted over a test's folder, to make faults that file
// permissions cannot (root ignores them): a read-only folder, a full disk.
// Root only; each call says whether the system allowed it. One mount at a
// time; the destructor takes it away.
class TestMount {
public:
    TestMount() = default;
    TestMount(const TestMount&) = delete;
    TestMount& operator=(const TestMount&) = delete;
    ~TestMount() { unmount(); }

    // The folder itself again, read-only.
    bool readOnly(const FilePath& folder) {
        folder_ = folder.text();
        if (!mounted_ && ::mount(folder_.c_str(), folder_.c_str(), nullptr, MS_BIND, nullptr) != 0) {
            return false;
        }
        mounted_ = true;
        return ::mount(nullptr, folder_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    }
    // An empty memory file system of that many bytes (whole pages).
    bool small(const FilePath& folder, const std::string& size) {
        folder_ = folder.text();
        mounted_ = ::mount("tarnlet-test", folder_.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
        return mounted_;
    }
    bool unmount() {
        if (!mounted_) {
            return true;
        }
        mounted_ = ::umount(folder_.c_str()) != 0;
        return !mounted_;
    }

private:
    std::string folder_;
    bool mounted_ = false;
};

} // namespace cpp
