#pragma once

#include "cpp/text_span.h"

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <variant>
#include <vector>

// mingw's plain "printf" format means Microsoft's conversions; clang knows
// only "printf", which is the GNU one there.
#if defined(__clang__)
#define CPP_PRINTF_FORMAT(formatIndex, firstArgument) __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define CPP_PRINTF_FORMAT(formatIndex, firstArgument) __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#endif

namespace cpp {

class String;

namespace detail {

template <class T>
concept Character = std::same_as<T, char> || std::same_as<T, wchar_t> || std::same_as<T, char8_t> ||
                    std::same_as<T, char16_t> || std::same_as<T, char32_t>;

template <class T>
concept FormatInteger = std::integral<T> && !std::same_as<T, bool> && !Character<T>;

// Types outside this library join `%` formatting by declaring
// `String formatText(const T&)` beside T, found by argument-dependent lookup.
template <class T>
concept HasFormatText = requires(const T& value) {
    { formatText(value) } -> std::convertible_to<String>;
};

class FormatArgument;

} // namespace detail

// UTF-8 text: every standard string operation, plus the library's formatting,
// conversions and searches.
class String : public std::string {
public:
    // " \t\n\r"
    static const String whitespace;

    String() = default;
    String(const char* text) : std::string(text ? text : "") {}
    String(TextSpan text) : std::string(text.begin() ? std::string(text.begin(), text.size()) : std::string()) {}
    String(const std::string& text) : std::string(text) {}
    String(std::string&& text) : std::string(std::move(text)) {}

    // From UTF-16 units.
    String(const wchar_t* begin, const wchar_t* end);
    explicit String(const std::wstring& text) : String(text.data(), text.data() + text.size()) {}

    // Decimal text of an integer.
    template <detail::FormatInteger T>
    explicit String(T value) : String(decimal(value)) {}

    // `%` formatting: each `%` of format takes the text of the next argument.
    // No escapes; argument texts are never scanned again; surplus `%` stay and
    // surplus arguments vanish.
    template <class First, class... Rest>
    String(TextSpan format, const First& first, const Rest&... rest)
        : String(substitute(format, {detail::FormatArgument(first), detail::FormatArgument(rest)...})) {}

    String(const String&) = default;
    String(String&&) noexcept = default;
    String& operator=(const String&) = default;
    String& operator=(String&&) noexcept = default;
    ~String() = default;

    TextSpan span() const { return TextSpan(data(), data() + size()); }

    std::wstring toWide() const;

    // printf-style, with the standard conversions.
    static String format(const char* format, ...) CPP_PRINTF_FORMAT(1, 2);

    static String fromInteger(std::int64_t value, int width = 0, int precision = 0, bool zeroPad = false,
                              bool plusSign = false);
    static String fromUnsigned(std::uint64_t value, int width = 0, int precision = 0, bool zeroPad = false);
    // The low 32 bits as '%#08x'.
    static String toHex(std::uint64_t value);

    // Base 10, leading blanks and one sign allowed, trailing characters ignored,
    // no digits give 0. Throws Exception when out of the 64-bit range.
    std::int64_t toInteger() const;

    // Pieces between separators, trimmed of trimSet, empty pieces dropped.
    std::vector<String> split(TextSpan separators, TextSpan trimSet) const;

    // The spans point into this string, so a temporary cannot be searched.
    std::vector<TextSpan> match(TextSpan pattern) const& { return span().match(pattern); }
    std::vector<TextSpan> search(TextSpan pattern) const& { return span().search(pattern); }
    std::vector<TextSpan> match(TextSpan pattern) const&& = delete;
    std::vector<TextSpan> search(TextSpan pattern) const&& = delete;

private:
    static String decimal(long long value);
    static String decimal(unsigned long long value);
    template <std::signed_integral T>
    static String decimal(T value) { return decimal(static_cast<long long>(value)); }
    template <std::unsigned_integral T>
    static String decimal(T value) { return decimal(static_cast<unsigned long long>(value)); }

    static String substitute(TextSpan format, std::initializer_list<detail::FormatArgument> arguments);
};

namespace detail {

// The text of one `%` argument: borrowed for text arguments, owned otherwise.
class FormatArgument {
public:
    FormatArgument(TextSpan text) : text_(text) {}
    FormatArgument(const char* text) : text_(TextSpan(text)) {}
    FormatArgument(const std::string& text) : text_(TextSpan(text)) {}
    FormatArgument(const String& text) : text_(text.span()) {}
    template <FormatInteger T>
    FormatArgument(T value) : text_(String(value)) {}
    template <HasFormatText T>
    FormatArgument(const T& value) : text_(String(formatText(value))) {}

    TextSpan text() const;

private:
    std::variant<TextSpan, String> text_;
};

} // namespace detail

} // namespace cpp
