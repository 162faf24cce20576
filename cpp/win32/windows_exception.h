#pragma once

#include "cpp/exception.h"

#include <cstdint>

namespace cpp::windows {

// The system's text for an error code, line break included; the HTTP
// library's own codes are looked up in its message table.
String systemMessage(std::uint32_t code);

// A failed operating-system call, with the system's own message text.
class Exception : public cpp::Exception {
public:
    // From the calling thread's last error code.
    Exception();
    // From an HRESULT: "hresult: 0x80004005".
    explicit Exception(std::int32_t hresult);

    std::uint32_t errorCode() const { return errorCode_; }
    std::int32_t hresult() const { return hresult_; }

private:
    struct SystemCode {
        std::uint32_t value;
    };
    explicit Exception(SystemCode code);

    std::uint32_t errorCode_;
    std::int32_t hresult_;
};

// Throws Exception(hresult) when the HRESULT reports a failure.
void checkResult(std::int32_t hresult);

} // namespace cpp::windows
