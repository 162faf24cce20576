#pragma once

#include <unknwn.h>

#include <utility>

namespace cpp::windows {

// Owns one reference to a COM interface; move-only, released once.
template <typename Interface>
class ComPointer {
public:
    ComPointer() = default;
    ComPointer(ComPointer&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPointer& operator=(ComPointer&& other) noexcept {
        std::swap(pointer_, other.pointer_);
        return *this;
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;
    ~ComPointer() {
        if (pointer_) {
            pointer_->Release();
        }
    }

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // Where a creating call puts the reference; the pointer must be empty.
    void** out() { return reinterpret_cast<void**>(&pointer_); }
    // The same for calls that take the interface's own pointer type.
    Interface** typedOut() { return &pointer_; }

private:
    Interface* pointer_ = nullptr;
};

} // namespace cpp::windows
