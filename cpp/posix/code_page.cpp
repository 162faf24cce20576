#include "cpp/code_page_platform.h"

#include "cpp/exception.h"

#include <array>
#include <cerrno>
#include <iconv.h>

namespace cpp::detail {

// POSIX systems write UTF-8 to pipes; other code pages serve the tests.
unsigned oemCodePage() {
    return 65001;
}

// glibc's iconv under the code page's Windows name ("CP866", "CP932").
struct CodePage::State {
    iconv_t converter = reinterpret_cast<iconv_t>(-1);
    std::array<bool, 256> lead{};

    ~State() {
        if (converter != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(converter);
        }
    }

    enum class Outcome { converted, cut, invalid };

    Outcome convert(TextSpan bytes, String* text) {
        // Back to the initial state, whatever the last failure left.
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(bytes.begin());
        std::size_t inLeft = bytes.size();
        char out[16];
        char* outAt = out;
        std::size_t outLeft = sizeof out;
        if (iconv(converter, &in, &inLeft, &outAt, &outLeft) == static_cast<std::size_t>(-1)) {
            return errno == EINVAL ? Outcome::cut : Outcome::invalid;
        }
        if (text) {
            text->assign(out, outAt);
        }
        return Outcome::converted;
    }
};

CodePage::CodePage(unsigned number) : state_(std::make_unique<State>()) {
    const String name("CP%", number);
    state_->converter = iconv_open("UTF-8", name.c_str());
    if (state_->converter == reinterpret_cast<iconv_t>(-1)) {
        throw Exception(String("unknown code page %", number));
    }
    // A byte that iconv calls an incomplete sequence begins a pair.
    for (unsigned value = 0x80; value < state_->lead.size(); ++value) {
        const char byte = static_cast<char>(value);
        state_->lead[value] = state_->convert(TextSpan(&byte, &byte + 1), nullptr) == State::Outcome::cut;
    }
}

CodePage::~CodePage() = default;

bool CodePage::isLeadByte(unsigned char byte) const {
    return state_->lead[byte];
}

std::optional<String> CodePage::character(TextSpan bytes) const {
    String text;
    if (state_->convert(bytes, &text) != State::Outcome::converted || text.empty()) {
        return std::nullopt;
    }
    return text;
}

} // namespace cpp::detail
