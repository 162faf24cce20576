#pragma once

#include <utility>

#include <windows.h>

namespace cpp::windows {

// Owns one system resource and frees it once, the one way Traits says:
// Traits::Type is the resource, Traits::invalid() the value that owns
// nothing, Traits::close(value) frees it. Move-only.
template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type value) : value_(value) {}
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        std::swap(value_, other.value_);
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() {
        if (valid()) {
            Traits::close(value_);
        }
    }

    Type get() const { return value_; }
    bool valid() const { return value_ != Traits::invalid(); }
    Type release() { return std::exchange(value_, Traits::invalid()); }
    // Where a creating call puts the resource; the owner must be empty.
    Type* out() { return &value_; }

private:
    Type value_ = Traits::invalid();
};

// A handle of CreateFileW, which signals failure with INVALID_HANDLE_VALUE
// rather than null.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Type handle) { CloseHandle(handle); }
};
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;

} // namespace cpp::windows
