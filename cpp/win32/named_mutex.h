#pragma once

#include "cpp/string.h"

namespace cpp::windows {

// Owns the handle of a named system mutex; closing it is the only release.
class NamedMutex {
public:
    NamedMutex() = default;
    NamedMutex(NamedMutex&& other) noexcept;
    NamedMutex& operator=(NamedMutex&& other) noexcept;
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // The HANDLE, for waiting on it; null when empty.
    void* handle() const { return handle_; }
    // The name was taken already, so this handle does not own the mutex and
    // must wait for it like anybody else.
    bool alreadyExisted() const { return alreadyExisted_; }

private:
    friend NamedMutex createNamedMutex(const String& name);
    NamedMutex(void* handle, bool alreadyExisted) : handle_(handle), alreadyExisted_(alreadyExisted) {}
    void close() noexcept;

    void* handle_ = nullptr;
    bool alreadyExisted_ = false;
};

// CreateMutexW, owned by the caller from the start unless the name existed.
// Throws cpp::windows::Exception when the system refuses.
NamedMutex createNamedMutex(const String& name);

} // namespace cpp::windows
