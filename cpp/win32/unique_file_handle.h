#pragma once

#include <utility>

#include <windows.h>

namespace cpp::windows {

// Owns a handle of CreateFileW, which signals failure with
// INVALID_HANDLE_VALUE rather than null.
class UniqueFileHandle {
public:
    explicit UniqueFileHandle(HANDLE handle) : handle_(handle) {}
    UniqueFileHandle(UniqueFileHandle&& other) noexcept : handle_(other.release()) {}
    UniqueFileHandle& operator=(UniqueFileHandle&& other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }
    UniqueFileHandle(const UniqueFileHandle&) = delete;
    UniqueFileHandle& operator=(const UniqueFileHandle&) = delete;
    ~UniqueFileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

private:
    HANDLE handle_;
};

} // namespace cpp::windows
