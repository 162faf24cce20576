#include "cpp/win32/named_mutex.h"

#include "cpp/win32/windows_exception.h"

#include <windows.h>

#include <utility>

namespace cpp::windows {

NamedMutex::NamedMutex(NamedMutex&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), alreadyExisted_(other.alreadyExisted_) {}

NamedMutex& NamedMutex::operator=(NamedMutex&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
        alreadyExisted_ = other.alreadyExisted_;
    }
    return *this;
}

NamedMutex::~NamedMutex() {
    close();
}

void NamedMutex::close() noexcept {
    if (handle_) {
        CloseHandle(handle_);
        handle_ = nullptr;
    }
}

NamedMutex createNamedMutex(const String& name) {
    const std::wstring wide = name.toWide();
    HANDLE handle = CreateMutexW(nullptr, TRUE, wide.c_str());
    if (!handle) {
        throw Exception();
    }
    // Read at once: the last error is the call's only until the next call.
    const bool alreadyExisted = GetLastError() == ERROR_ALREADY_EXISTS;
    return NamedMutex(handle, alreadyExisted);
}

} // namespace cpp::windows
