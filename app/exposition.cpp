#include "app/exposition.h"

#include <array>
#include <charconv>
#include <string>

namespace exposition {

namespace {

// HELP text escapes only backslashes and line feeds.
void appendHelp(cpp::String& text, std::string_view help) {
    for (const char c : help) {
        if (c == '\\')
            text += "\\\\";
        else if (c == '\n')
            text += "\\n";
        else
            text += c;
    }
}

} // namespace

void Writer::family(std::string_view name, std::string_view type, std::string_view help) {
    text_ += "# HELP ";
    text_ += name;
    text_ += ' ';
    appendHelp(text_, help);
    text_ += "\n# TYPE ";
    text_ += name;
    text_ += ' ';
    text_ += type;
    text_ += '\n';
}

void Writer::sample(std::string_view name, std::initializer_list<Label> labels, std::string_view value) {
    text_ += name;
    if (labels.size() != 0) {
        char separator = '{';
        for (const auto& [label, labelValue] : labels) {
            text_ += separator;
            text_ += label;
            text_ += "=\"";
            appendLabelValue(text_, labelValue);
            text_ += '"';
            separator = ',';
        }
        text_ += '}';
    }
    text_ += ' ';
    text_ += value;
    text_ += '\n';
}

void appendLabelValue(cpp::String& text, cpp::TextSpan value) {
    const std::size_t size = value.size();
    for (std::size_t at = 0; at < size;) {
        const char c = value.begin()[at];
        if (static_cast<unsigned char>(c) >= 0x80) {
            const cpp::CodePoint point = value.decodeAt(at);
            const std::size_t length = point.length == 0 ? 1 : point.length;
            // Surrogates are no characters, though the decoder lets them by.
            if (point.value < 0 || (point.value >= 0xD800 && point.value <= 0xDFFF))
                text += "\xEF\xBF\xBD";
            else
                text.append(value.begin() + at, length);
            at += length;
            continue;
        }
        if (c == '\\')
            text += "\\\\";
        else if (c == '"')
            text += "\\\"";
        else if (c == '\n')
            text += "\\n";
        else
            text += c;
        ++at;
    }
}

// By hand rather than through printf: a page of 500 hosts writes thousands.
cpp::String integer(std::uint64_t value) {
    std::array<char, 20> digits;
    char* const end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
    return cpp::String(std::string(digits.data(), static_cast<std::size_t>(end - digits.data())));
}

cpp::String seconds(std::uint64_t milliseconds) {
    cpp::String text = integer(milliseconds / 1000);
    const auto fraction = static_cast<unsigned>(milliseconds % 1000);
    text += '.';
    text += static_cast<char>('0' + fraction / 100);
    text += static_cast<char>('0' + fraction / 10 % 10);
    text += static_cast<char>('0' + fraction % 10);
    return text;
}

} // namespace exposition
