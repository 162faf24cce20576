#include "cpp/win32/named_mutex.h"

#include "cpp/win32/windows_exception.h"

namespace cpp::windows {

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
