#include "cpp/code_page_platform.h"

#include "cpp/exception.h"

#include <windows.h>

namespace cpp::detail {

unsigned oemCodePage() {
    return GetOEMCP();
}

struct CodePage::State {
    UINT number;
};

CodePage::CodePage(unsigned number) : state_(std::make_unique<State>(State{number})) {
    if (!IsValidCodePage(number)) {
        throw Exception(String("unknown code page %", number));
    }
}

CodePage::~CodePage() = default;

bool CodePage::isLeadByte(unsigned char byte) const {
    return IsDBCSLeadByteEx(state_->number, byte) != 0;
}

// MultiByteToWideChar says only that some byte was invalid, not which, so
// the decoder asks it one character at a time.
std::optional<String> CodePage::character(TextSpan bytes) const {
    wchar_t wide[4];
    const int units = MultiByteToWideChar(state_->number, MB_ERR_INVALID_CHARS, bytes.begin(),
                                          static_cast<int>(bytes.size()), wide, 4);
    if (units <= 0) {
        return std::nullopt;
    }
    return String(wide, wide + units);
}

} // namespace cpp::detail
