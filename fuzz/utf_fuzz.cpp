// UTF-8 -> UTF-16 -> UTF-8: any bytes convert without a crash, well-formed
// UTF-8 comes back byte for byte, and a second round trip changes nothing.
#include "cpp/exception.h"
#include "cpp/string.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Well-formed UTF-8 (RFC 3629: no overlong forms, no surrogates, nothing
// above U+10FFFF), checked independently of the library's decoder.
bool wellFormed(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t lead = data[at];
        std::size_t length;
        std::uint8_t low = 0x80;
        std::uint8_t high = 0xBF;
        if (lead < 0x80) {
            ++at;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (size - at < length || data[at + 1] < low || data[at + 1] > high) {
            return false;
        }
        for (std::size_t next = 2; next < length; ++next) {
            if (data[at + next] < 0x80 || data[at + next] > 0xBF) {
                return false;
            }
        }
        at += length;
    }
    return true;
}

cpp::String roundTrip(const cpp::String& text) {
    const std::wstring wide = text.toWide();
    for (const wchar_t unit : wide) {
        // Units, even where wchar_t is wider.
        if (static_cast<std::uint32_t>(unit) > 0xFFFF) {
            std::abort();
        }
    }
    return cpp::String(wide);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const cpp::String text(std::string(reinterpret_cast<const char*>(data), size));
    const cpp::String once = roundTrip(text);
    if (wellFormed(data, size) && once != text) {
        std::abort();
    }
    if (roundTrip(once) != once) {
        std::abort();
    }
    return 0;
}
