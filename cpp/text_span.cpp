#include "cpp/text_span.h"

#include "cpp/exception.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <regex>
#include <unordered_map>

namespace cpp {

namespace {

bool contains(TextSpan set, char c) {
    return !set.empty() && std::memchr(set.begin(), c, set.size()) != nullptr;
}

// Compiling a pattern costs far more than matching it, and callers match the
// same few patterns over and over. The cache is process-wide rather than per
// thread: thread-local objects with destructors crash at thread exit in the
// mingw runtime. Matching through a shared const expression is safe.
std::shared_ptr<const std::regex> compiled(TextSpan pattern) {
    constexpr std::size_t cacheLimit = 64;
    static std::mutex mutex;
    static std::unordered_map<std::string, std::shared_ptr<const std::regex>> cache;
    std::string key(pattern.view());
    // Compiling under the lock too: the standard library's locale facets
    // fill their caches unsynchronised, so two compilations must not overlap.
    std::lock_guard lock(mutex);
    if (const auto found = cache.find(key); found != cache.end()) {
        return found->second;
    }
    auto expression = std::make_shared<const std::regex>(key, std::regex::ECMAScript);
    if (cache.size() >= cacheLimit) {
        cache.clear();
    }
    cache.emplace(std::move(key), expression);
    return expression;
}

std::vector<TextSpan> groups(const std::cmatch& match) {
    std::vector<TextSpan> result;
    result.reserve(match.size());
    for (const auto& group : match) {
        result.emplace_back(group.first, group.second);
    }
    return result;
}

bool isContinuation(unsigned char byte) {
    return byte >= 0x80 && byte <= 0xBF;
}

} // namespace

TextSpan::TextSpan(const char* zeroTerminated)
    : begin_(zeroTerminated), end_(zeroTerminated ? zeroTerminated + std::strlen(zeroTerminated) : nullptr) {}

TextSpan::TextSpan(const char* begin, const char* end) : begin_(begin), end_(end) {
    if (!begin_) {
        end_ = nullptr;
    } else if (!end_) {
        end_ = begin_ + std::strlen(begin_);
    }
}

TextSpan TextSpan::substr(std::size_t pos, std::size_t count) const {
    pos = std::min(pos, size());
    count = std::min(count, size() - pos);
    return TextSpan(begin_ + pos, begin_ + pos + count);
}

std::ptrdiff_t TextSpan::findFirstOf(TextSpan set, std::size_t from) const {
    for (std::size_t i = from; i < size(); ++i) {
        if (contains(set, begin_[i])) {
            return static_cast<std::ptrdiff_t>(i);
        }
    }
    return notFound;
}

std::ptrdiff_t TextSpan::findFirstNotOf(TextSpan set, std::size_t from) const {
    if (set.empty()) {
        return notFound;
    }
    for (std::size_t i = from; i < size(); ++i) {
        if (!contains(set, begin_[i])) {
            return static_cast<std::ptrdiff_t>(i);
        }
    }
    return notFound;
}

std::ptrdiff_t TextSpan::findLastOf(TextSpan set) const {
    for (std::size_t i = size(); i-- > 0;) {
        if (contains(set, begin_[i])) {
            return static_cast<std::ptrdiff_t>(i);
        }
    }
    return notFound;
}

std::ptrdiff_t TextSpan::findLastNotOf(TextSpan set) const {
    if (set.empty()) {
        return notFound;
    }
    for (std::size_t i = size(); i-- > 0;) {
        if (!contains(set, begin_[i])) {
            return static_cast<std::ptrdiff_t>(i);
        }
    }
    return notFound;
}

int TextSpan::compare(const char* zeroTerminated) const {
    const TextSpan other(zeroTerminated);
    const std::size_t common = std::min(size(), other.size());
    const int bytes = common ? std::memcmp(begin_, other.begin_, common) : 0;
    if (bytes != 0) {
        return bytes < 0 ? -1 : 1;
    }
    return size() < other.size() ? -1 : (size() > other.size() ? 1 : 0);
}

TextSpan TextSpan::copyTo(std::span<char> destination) const {
    IOException::check(destination.size() >= size(), "Memory write failed");
    std::copy(begin_, end_, destination.data());
    return TextSpan(destination.data(), destination.data() + size());
}

CodePoint TextSpan::decodeAt(std::size_t pos) const {
    auto byte = [&](std::size_t i) -> unsigned char {
        return pos + i < size() ? static_cast<unsigned char>(begin_[pos + i]) : 0;
    };
    constexpr CodePoint invalid{-1, 1};
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return {lead, 1};
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        if (!isContinuation(byte(1))) {
            return invalid;
        }
        return {((lead & 0x1F) << 6) | (byte(1) & 0x3F), 2};
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (!isContinuation(byte(1)) || !isContinuation(byte(2)) || (lead == 0xE0 && byte(1) < 0xA0)) {
            return invalid;
        }
        return {((lead & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F), 3};
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (!isContinuation(byte(1)) || !isContinuation(byte(2)) || !isContinuation(byte(3)) ||
            (lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) >= 0x90)) {
            return invalid;
        }
        return {((lead & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) | (byte(3) & 0x3F), 4};
    }
    return invalid;
}

TextSpan TextSpan::trim(TextSpan set) const {
    if (set.empty()) {
        return *this;
    }
    const std::ptrdiff_t first = findFirstNotOf(set);
    if (first == notFound) {
        return TextSpan(end_, end_);
    }
    return TextSpan(begin_ + first, begin_ + findLastNotOf(set) + 1);
}

std::vector<TextSpan> TextSpan::split(TextSpan separators, TextSpan trimSet, bool keepEmpty) const {
    std::vector<TextSpan> pieces;
    std::size_t start = 0;
    while (start <= size()) {
        const std::ptrdiff_t found = findFirstOf(separators, start);
        const std::size_t stop = found == notFound ? size() : static_cast<std::size_t>(found);
        const TextSpan piece = substr(start, stop - start).trim(trimSet);
        if (keepEmpty || !piece.empty()) {
            pieces.push_back(piece);
        }
        start = stop + 1;
    }
    return pieces;
}

std::vector<TextSpan> TextSpan::match(TextSpan pattern) const {
    std::cmatch result;
    if (!std::regex_match(begin_, end_, result, *compiled(pattern))) {
        return {};
    }
    return groups(result);
}

std::vector<TextSpan> TextSpan::search(TextSpan pattern) const {
    std::cmatch result;
    if (!std::regex_search(begin_, end_, result, *compiled(pattern))) {
        return {};
    }
    return groups(result);
}

} // namespace cpp
