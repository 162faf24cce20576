#include "cpp/string.h"

#include "cpp/exception.h"

#include <cerrno>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace cpp {

namespace {

constexpr char32_t replacementCharacter = 0xFFFD;
constexpr char32_t highestCodePoint = 0x10FFFF;

void appendUtf8(std::string& text, char32_t codePoint) {
    if (codePoint < 0x80) {
        text += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        text += static_cast<char>(0xC0 | (codePoint >> 6));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint <= 0xFFFF) {
        text += static_cast<char>(0xE0 | (codePoint >> 12));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint <= highestCodePoint) {
        text += static_cast<char>(0xF0 | (codePoint >> 18));
        text += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        throw Exception("invalid unicode code_point");
    }
}

bool isHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// printf format of the padded decimal conversions, such as "%+05.3lli".
std::string paddedFormat(bool plusSign, bool zeroPad, int width, int precision, const char* length) {
    std::string format = "%";
    if (plusSign) {
        format += '+';
    }
    if (zeroPad) {
        format += '0';
    }
    if (width > 0) {
        format += std::to_string(width);
    }
    if (precision > 0) {
        format += '.';
        format += std::to_string(precision);
    }
    return format + length;
}

String vformat(const char* format, va_list arguments) {
    std::string buffer(64, '\0');
    for (;;) {
        va_list attempt;
        va_copy(attempt, arguments);
        const int needed = std::vsnprintf(buffer.data(), buffer.size(), format, attempt);
        va_end(attempt);
        if (needed < 0) {
            throw std::runtime_error("Encoding error occured in String::format.");
        }
        if (static_cast<std::size_t>(needed) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(needed));
            return String(std::move(buffer));
        }
        buffer.resize(static_cast<std::size_t>(needed) + 1);
    }
}

String formatBuilt(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    String result = vformat(format, arguments);
    va_end(arguments);
    return result;
}

template <class Integer>
String decimalText(Integer value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return String(TextSpan(buffer, end));
}

} // namespace

const String String::whitespace = " \t\n\r";

String::String(const wchar_t* begin, const wchar_t* end) {
    reserve(static_cast<std::size_t>(end - begin));
    for (const wchar_t* unit = begin; unit != end; ++unit) {
        char32_t codePoint = static_cast<char32_t>(*unit);
        if (isHighSurrogate(codePoint)) {
            if (unit + 1 == end) {
                codePoint = replacementCharacter;
            } else if (isLowSurrogate(static_cast<char32_t>(unit[1]))) {
                codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (static_cast<char32_t>(unit[1]) - 0xDC00);
                ++unit;
            }
        }
        appendUtf8(*this, codePoint);
    }
}

std::wstring String::toWide() const {
    std::wstring wide;
    wide.reserve(size());
    const TextSpan text = span();
    for (std::size_t pos = 0; pos < text.size();) {
        const CodePoint decoded = text.decodeAt(pos);
        pos += decoded.length;
        const char32_t codePoint = decoded.value < 0 ? replacementCharacter : static_cast<char32_t>(decoded.value);
        if (codePoint > highestCodePoint) {
            throw Exception("invalid unicode code_point");
        }
        if (codePoint <= 0xFFFF) {
            wide += static_cast<wchar_t>(codePoint);
        } else {
            wide += static_cast<wchar_t>(0xD800 + ((codePoint - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
        }
    }
    return wide;
}

String String::format(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    String result = vformat(format, arguments);
    va_end(arguments);
    return result;
}

String String::fromInteger(std::int64_t value, int width, int precision, bool zeroPad, bool plusSign) {
    return formatBuilt(paddedFormat(plusSign, zeroPad, width, precision, "lli").c_str(), static_cast<long long>(value));
}

String String::fromUnsigned(std::uint64_t value, int width, int precision, bool zeroPad) {
    return formatBuilt(paddedFormat(false, zeroPad, width, precision, "llu").c_str(),
                       static_cast<unsigned long long>(value));
}

String String::toHex(std::uint64_t value) {
    return format("%#08x", static_cast<unsigned>(value & 0xFFFFFFFFu));
}

std::int64_t String::toInteger() const {
    errno = 0;
    const long long value = std::strtoll(c_str(), nullptr, 10);
    if (errno == ERANGE) {
        throw Exception("range error while parsing integer");
    }
    return value;
}

std::vector<String> String::split(TextSpan separators, TextSpan trimSet) const {
    std::vector<String> pieces;
    for (const TextSpan piece : span().split(separators, trimSet, false)) {
        pieces.emplace_back(piece);
    }
    return pieces;
}

String String::decimal(long long value) {
    return decimalText(value);
}

String String::decimal(unsigned long long value) {
    return decimalText(value);
}

String String::substitute(TextSpan format, std::initializer_list<detail::FormatArgument> arguments) {
    String result;
    std::size_t pos = 0;
    for (const detail::FormatArgument& argument : arguments) {
        const std::ptrdiff_t placeholder = format.findFirstOf("%", pos);
        if (placeholder == TextSpan::notFound) {
            break;
        }
        result.append(format.view().substr(pos, static_cast<std::size_t>(placeholder) - pos));
        result.append(argument.text().view());
        pos = static_cast<std::size_t>(placeholder) + 1;
    }
    result.append(format.view().substr(pos));
    return result;
}

namespace detail {

TextSpan FormatArgument::text() const {
    if (const auto* owned = std::get_if<String>(&text_)) {
        return owned->span();
    }
    return std::get<TextSpan>(text_);
}

} // namespace detail

} // namespace cpp
