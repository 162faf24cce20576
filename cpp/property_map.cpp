#include "cpp/property_map.h"

#include <utility>

namespace cpp {

namespace {

// Constant views rather than spans: usable before static initialisation ends.
constexpr std::string_view delimiters = " \t\r\n:=";
constexpr std::string_view lineEnds = "\r\n";
constexpr std::string_view removeKey = "[remove]";

bool isComment(TextSpan line) {
    const std::string_view text = line.view();
    return text.starts_with('#') || text.starts_with("//");
}

} // namespace

TextSpan PropertyMap::get(TextSpan key) const {
    const auto found = entries_.find(key.view());
    if (found == entries_.end()) {
        return TextSpan();
    }
    // data() is never null, so an empty value still yields a non-null span.
    const String& value = found->second;
    return TextSpan(value.data(), value.data() + value.size());
}

void PropertyMap::set(String key, String value) {
    const auto found = entries_.find(std::string_view(key));
    if (found != entries_.end()) {
        found->second = std::move(value);
    } else {
        entries_.emplace(std::move(key), std::move(value));
    }
}

std::size_t PropertyMap::erase(TextSpan key) {
    const auto found = entries_.find(key.view());
    if (found == entries_.end()) {
        return 0;
    }
    entries_.erase(found);
    return 1;
}

void PropertyMap::parse(TextSpan text, TextSpan prefix) {
    const char* pieceBegin = text.begin();
    for (const char* at = text.begin(); at != text.end(); ++at) {
        if (*at == '\r' || *at == '\n') {
            parseLine(TextSpan(pieceBegin, at), prefix);
            pieceBegin = at + 1;
        }
    }
    parseLine(TextSpan(pieceBegin, text.end()), prefix);
}

void PropertyMap::parseLine(TextSpan line, TextSpan prefix) {
    if (line.empty() || isComment(line)) {
        return;
    }
    const std::ptrdiff_t keyEnd = line.findFirstOf(TextSpan(delimiters));
    if (keyEnd == 0) {
        return;
    }
    TextSpan key = line;
    TextSpan value;
    if (keyEnd != TextSpan::notFound) {
        key = line.substr(0, static_cast<std::size_t>(keyEnd));
        const std::ptrdiff_t valueBegin = line.findFirstNotOf(TextSpan(delimiters), static_cast<std::size_t>(keyEnd));
        if (valueBegin != TextSpan::notFound) {
            value = line.substr(static_cast<std::size_t>(valueBegin)).trim(TextSpan(lineEnds));
        }
    }
    if (key.view() == removeKey) {
        if (value.empty()) {
            clear();
        } else {
            erase(value);
        }
        return;
    }
    String stored(prefix);
    stored.append(key.view());
    set(std::move(stored), String(value));
}

} // namespace cpp
