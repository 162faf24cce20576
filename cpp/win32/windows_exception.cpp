#include "cpp/win32/windows_exception.h"

#include <windows.h>

namespace cpp::windows {

namespace {

// WinInet's codes (12000 on) have their texts in its own module, not in the
// system's table.
constexpr DWORD internetErrorFirst = 12000;
constexpr DWORD internetErrorLast = 12999;

DWORD formatMessage(DWORD flags, HMODULE source, DWORD code, wchar_t* buffer, DWORD size) {
    return FormatMessageW(flags | FORMAT_MESSAGE_IGNORE_INSERTS, source, code, 1024, buffer, size, nullptr);
}

} // namespace

void checkResult(std::int32_t hresult) {
    if (FAILED(hresult)) {
        throw Exception(hresult);
    }
}

String systemMessage(std::uint32_t code) {
    wchar_t buffer[1024];
    DWORD length = formatMessage(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, buffer, std::size(buffer));
    if (length == 0 && code >= internetErrorFirst && code <= internetErrorLast) {
        if (HMODULE internet = GetModuleHandleW(L"wininet.dll")) {
            length = formatMessage(FORMAT_MESSAGE_FROM_HMODULE, internet, code, buffer, std::size(buffer));
        }
    }
    if (length == 0) {
        return String("error code: % (%)", code, String::toHex(code));
    }
    return String(buffer, buffer + length);
}

Exception::Exception() : Exception(SystemCode{GetLastError()}) {}

Exception::Exception(SystemCode code) : cpp::Exception(systemMessage(code.value)), errorCode_(code.value), hresult_(0) {}

Exception::Exception(std::int32_t hresult)
    : cpp::Exception(String("hresult: %", String::toHex(static_cast<std::uint32_t>(hresult)))),
      errorCode_(0),
      hresult_(hresult) {}

} // namespace cpp::windows
