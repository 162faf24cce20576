#include "cpp/oem_decoder.h"

#include "cpp/code_page_platform.h"

namespace cpp {

namespace {

// U+FFFD in UTF-8.
void appendReplacement(String& text) {
    text += "\xEF\xBF\xBD";
}

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the UTF-8 sequence that lead begins; 0 when it begins none.
std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

} // namespace

OemDecoder::OemDecoder() : OemDecoder(detail::oemCodePage()) {}

OemDecoder::OemDecoder(unsigned codePage) : codePage_(codePage) {
    if (codePage_ == utf8) {
        return;
    }
    system_ = std::make_unique<detail::CodePage>(codePage_);
    for (unsigned value = 0; value < singles_.size(); ++value) {
        const char byte = static_cast<char>(value);
        Single& single = singles_[value];
        if (system_->isLeadByte(static_cast<unsigned char>(value))) {
            single.kind = Kind::lead;
        } else if (std::optional<String> character = system_->character(TextSpan(&byte, &byte + 1))) {
            single = {Kind::character, std::move(*character)};
        }
    }
}

OemDecoder::OemDecoder(OemDecoder&&) noexcept = default;
OemDecoder& OemDecoder::operator=(OemDecoder&&) noexcept = default;
OemDecoder::~OemDecoder() = default;

String OemDecoder::decode(TextSpan bytes) {
    std::string joined;
    TextSpan input = bytes;
    if (!kept_.empty()) {
        joined = kept_ + String(bytes);
        input = TextSpan(joined);
    }
    String text;
    text.reserve(input.size());
    const std::size_t used = codePage_ == utf8 ? decodeUtf8(input, text) : decodeBytes(input, text);
    kept_ = std::string(input.view().substr(used));
    return text;
}

String OemDecoder::finish() {
    String text;
    if (!kept_.empty()) {
        kept_.clear();
        appendReplacement(text);
    }
    return text;
}

String OemDecoder::decodeAll(TextSpan bytes) {
    String text = decode(bytes);
    text += finish();
    return text;
}

// Valid sequences stay as they are, each byte of an invalid one becomes
// U+FFFD. Returns how many bytes were used: all but a cut sequence's start.
std::size_t OemDecoder::decodeUtf8(TextSpan bytes, String& text) const {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const unsigned char lead = static_cast<unsigned char>(bytes[pos]);
        if (lead < 0x80) {
            text += static_cast<char>(lead);
            ++pos;
            continue;
        }
        const std::size_t length = sequenceLength(lead);
        if (length > bytes.size() - pos) {
            bool cut = true;
            for (std::size_t next = pos + 1; next < bytes.size(); ++next) {
                cut = cut && isContinuation(static_cast<unsigned char>(bytes[next]));
            }
            if (cut) {
                return pos;
            }
        }
        const CodePoint decoded = bytes.decodeAt(pos);
        if (decoded.value < 0) {
            appendReplacement(text);
        } else {
            text.append(bytes.begin() + pos, decoded.length);
        }
        pos += decoded.length;
    }
    return pos;
}

// Through the table of single bytes; a lead byte asks the system about the
// pair. A lead byte followed by an ASCII byte that makes no pair is one
// U+FFFD and the ASCII byte is read on its own, so that a broken character
// never swallows a blank or a digit after it.
std::size_t OemDecoder::decodeBytes(TextSpan bytes, String& text) const {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const Single& single = singles_[static_cast<unsigned char>(bytes[pos])];
        if (single.kind == Kind::character) {
            text += single.text;
            ++pos;
        } else if (single.kind == Kind::invalid) {
            appendReplacement(text);
            ++pos;
        } else if (pos + 1 == bytes.size()) {
            return pos;
        } else if (std::optional<String> pair = system_->character(bytes.substr(pos, 2))) {
            text += *pair;
            pos += 2;
        } else {
            appendReplacement(text);
            pos += static_cast<unsigned char>(bytes[pos + 1]) < 0x80 ? 1 : 2;
        }
    }
    return pos;
}

} // namespace cpp
