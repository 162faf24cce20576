#pragma once

#include "cpp/string.h"
#include "cpp/text_span.h"

#include <memory>
#include <optional>

// What OemDecoder asks of the operating system; each back end implements it.
namespace cpp::detail {

// The code page console programs write to a pipe, by its Windows number.
unsigned oemCodePage();

// One single- or double-byte code page as the system decodes it.
class CodePage {
public:
    // Throws Exception when the system does not know the code page.
    explicit CodePage(unsigned number);
    ~CodePage();
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;

    // Whether byte is the first of a two-byte character.
    bool isLeadByte(unsigned char byte) const;

    // The character that bytes (one byte, or a lead and a trail byte) stand
    // for, as UTF-8; none when they are no character of the code page.
    std::optional<String> character(TextSpan bytes) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace cpp::detail
