#pragma once

#include "cpp/string.h"
#include "cpp/text_span.h"

#include <cstddef>
#include <map>
#include <string_view>

namespace cpp {

// An ordered map of text keys to text values, keys in byte-wise order, with
// the one-line "key value" parser shared by config.txt and the command line.
class PropertyMap {
    // Byte-wise, and lets lookups by span skip building a String.
    struct KeyOrder {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const { return a < b; }
    };

public:
    using Entries = std::map<String, String, KeyOrder>;
    using const_iterator = Entries::const_iterator;

    // The null span (null begin) when key is absent; otherwise a span of the
    // stored value, not null even when the value is empty, so callers can
    // tell a flag given without a value from one not given at all. The span
    // stays valid until the entry is replaced or removed.
    TextSpan get(TextSpan key) const;
    bool contains(TextSpan key) const { return get(key).begin() != nullptr; }

    // Inserts or replaces.
    void set(String key, String value);
    // The number of entries removed: 0 or 1.
    std::size_t erase(TextSpan key);
    void clear() { entries_.clear(); }

    // Splits text at every carriage return and line feed and parses every
    // piece, empty ones included.
    void parse(TextSpan text, TextSpan prefix = TextSpan());

    // Applies one line. '#' or "//" at its start makes it a comment. The key
    // runs to the first of " \t\r\n:=", the value from the next character not
    // among them to the end of the line, without carriage returns and line
    // feeds at its ends but with its trailing blanks and tabs. A line that is
    // empty or starts with a delimiter is ignored. The key "[remove]" erases
    // the key its value names, or every key when its value is empty; any
    // other key is stored as prefix followed by the key.
    void parseLine(TextSpan line, TextSpan prefix = TextSpan());

    // In key order.
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

private:
    Entries entries_;
};

} // namespace cpp
