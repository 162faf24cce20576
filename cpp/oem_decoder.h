#pragma once

#include "cpp/string.h"
#include "cpp/text_span.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace cpp {

namespace detail {
class CodePage;
}

// Turns the bytes that console programs write to a pipe, which are in the
// system's OEM code page, into UTF-8 text. A byte (or a pair of a double-byte
// code page) that is no character of the code page becomes U+FFFD: nothing is
// dropped and nothing cuts the text short. A character cut at the end of one
// piece is completed by the next.
class OemDecoder {
public:
    // Windows' number of UTF-8 as a code page.
    static constexpr unsigned utf8 = 65001;

    // The system's OEM code page.
    OemDecoder();
    // A code page by its Windows number (437, 850, 866, 932, 65001, ...).
    // Throws Exception when the system cannot decode it.
    explicit OemDecoder(unsigned codePage);
    OemDecoder(OemDecoder&&) noexcept;
    OemDecoder& operator=(OemDecoder&&) noexcept;
    ~OemDecoder();

    unsigned codePage() const { return codePage_; }

    // bytes after whatever the last call kept; the start of a character cut
    // at the end is kept for the next call.
    String decode(TextSpan bytes);
    // What is kept of a cut character, as U+FFFD; empty when nothing is kept.
    String finish();
    // A whole text, such as one line: decode, then finish.
    String decodeAll(TextSpan bytes);

private:
    enum class Kind : std::uint8_t { character, lead, invalid };
    struct Single {
        Kind kind = Kind::invalid;
        std::string text;
    };

    std::size_t decodeUtf8(TextSpan bytes, String& text) const;
    std::size_t decodeBytes(TextSpan bytes, String& text) const;

    unsigned codePage_;
    std::unique_ptr<detail::CodePage> system_;
    // What each byte is on its own; unused for UTF-8.
    std::array<Single, 256> singles_;
    std::string kept_;
};

} // namespace cpp
