#pragma once

#include "cpp/string.h"
#include "cpp/win32/unique_handle.h"

namespace cpp::windows {

// Owns the handle of a named system mutex; closing it is the only release.
// Move-only.
class NamedMutex {
public:
    NamedMutex() = default;

    // The HANDLE, for waiting on it; null when empty.
    HANDLE handle() const { return handle_.get(); }
    // The name was taken already, so this handle does not own the mutex and
    // must wait for it like anybody else.
    bool alreadyExisted() const { return alreadyExisted_; }

private:
    friend NamedMutex createNamedMutex(const String& name);
    NamedMutex(HANDLE handle, bool alreadyExisted) : handle_(handle), alreadyExisted_(alreadyExisted) {}

    UniqueKernelHandle handle_;
    bool alreadyExisted_ = false;
};

// CreateMutexW, owned by the caller from the start unless the name existed.
// Throws cpp::windows::Exception when the system refuses.
NamedMutex createNamedMutex(const String& name);

} // namespace cpp::windows
