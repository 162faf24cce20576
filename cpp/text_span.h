#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cpp {

// A code point decoded from UTF-8: the value (-1 for an invalid sequence) and
// how many bytes it took.
struct CodePoint {
    std::int32_t value;
    std::size_t length;
};

// A non-owning view of characters. A null end means "up to the terminating
// zero of begin"; a null begin is an empty span.
class TextSpan {
public:
    static constexpr std::ptrdiff_t notFound = -1;

    TextSpan() = default;
    TextSpan(const char* zeroTerminated);
    TextSpan(const char* begin, const char* end);
    TextSpan(const std::string& text) : begin_(text.data()), end_(text.data() + text.size()) {}
    TextSpan(std::string_view text) : begin_(text.data()), end_(text.data() + text.size()) {}

    const char* begin() const { return begin_; }
    const char* end() const { return end_; }
    std::size_t size() const { return static_cast<std::size_t>(end_ - begin_); }
    bool empty() const { return begin_ == end_; }
    char operator[](std::size_t index) const { return begin_[index]; }
    std::string_view view() const { return {begin_, size()}; }

    // Both clamped: pos to the length, count to what remains.
    TextSpan substr(std::size_t pos, std::size_t count = SIZE_MAX) const;

    // Each returns an index or notFound; an empty set finds nothing.
    std::ptrdiff_t findFirstOf(TextSpan set, std::size_t from = 0) const;
    std::ptrdiff_t findFirstNotOf(TextSpan set, std::size_t from = 0) const;
    std::ptrdiff_t findLastOf(TextSpan set) const;
    std::ptrdiff_t findLastNotOf(TextSpan set) const;

    // Byte-wise over unsigned characters; a proper prefix is less.
    int compare(const char* zeroTerminated) const;

    // Copies the characters into destination and returns the span of the copy.
    // Throws IOException "Memory write failed" when destination is too short.
    TextSpan copyTo(std::span<char> destination) const;

    // The code point starting at byte pos; bytes past the end read as 0.
    CodePoint decodeAt(std::size_t pos) const;

    // Leading and trailing characters of set cut off.
    TextSpan trim(TextSpan set) const;

    // The pieces between separator characters, each trimmed of trimSet.
    std::vector<TextSpan> split(TextSpan separators, TextSpan trimSet, bool keepEmpty) const;

    // ECMAScript regular expressions. Index 0 is the whole match, then the
    // groups; empty when there is no match. The spans point into this text.
    std::vector<TextSpan> match(TextSpan pattern) const;
    std::vector<TextSpan> search(TextSpan pattern) const;

private:
    const char* begin_ = nullptr;
    const char* end_ = nullptr;
};

} // namespace cpp
