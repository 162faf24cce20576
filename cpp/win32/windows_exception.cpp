#include "cpp/win32/windows_exception.h"

#include <windows.h>

namespace cpp::windows {

namespace {

// The system's text for code exactly as it writes it, line break included.
String systemMessage(DWORD code) {
    wchar_t buffer[1024];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                        1024, buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
    if (length == 0) {
        return String("error code: % (%)", code, String::toHex(code));
    }
    return String(buffer, buffer + length);
}

} // namespace

Exception::Exception() : Exception(SystemCode{GetLastError()}) {}

Exception::Exception(SystemCode code) : cpp::Exception(systemMessage(code.value)), errorCode_(code.value), hresult_(0) {}

Exception::Exception(std::int32_t hresult)
    : cpp::Exception(String("hresult: %", String::toHex(static_cast<std::uint32_t>(hresult)))),
      errorCode_(0),
      hresult_(hresult) {}

} // namespace cpp::windows
