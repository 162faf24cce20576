#include "cpp/program_paths.h"

#include <windows.h>

namespace cpp::detail {

namespace {

// Both calls fill a buffer of 1024 characters and return the length written.
template <class Call>
String fromBuffer(Call call) {
    wchar_t buffer[1024];
    const DWORD length = call(buffer, static_cast<DWORD>(std::size(buffer)));
    return length > 0 && length < std::size(buffer) ? String(buffer, buffer + length) : String();
}

} // namespace

String programFilePath() {
    return fromBuffer([](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); });
}

String workingDirectoryPath() {
    return fromBuffer([](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); });
}

} // namespace cpp::detail
