#include "cpp/file_path_platform.h"

#include "cpp/win32/windows_exception.h"

#include <string>

#include <windows.h>

namespace cpp::detail {

namespace {

// Calls one of the system's "fill this buffer, or say how long it must be"
// functions until the text fits. A result of 0 is a failure.
template <class Fill>
String filledText(Fill fill) {
    std::wstring buffer(MAX_PATH + 1, L'\0');
    for (;;) {
        const DWORD length = fill(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0) {
            throw windows::Exception();
        }
        if (length < buffer.size()) {
            return String(buffer.data(), buffer.data() + length);
        }
        // Too short: length is the size needed, terminating zero included
        // (one more spares a loop should it count without the zero).
        buffer.resize(static_cast<std::size_t>(length) + 1);
    }
}

} // namespace

String currentDirectory() {
    return filledText([](DWORD size, wchar_t* buffer) { return GetCurrentDirectoryW(size, buffer); });
}

String temporaryFolder() {
    return filledText([](DWORD size, wchar_t* buffer) { return GetTempPathW(size, buffer); });
}

} // namespace cpp::detail
