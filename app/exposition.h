#pragma once

#include "cpp/string.h"
#include "cpp/text_span.h"

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <utility>

// Prometheus's text exposition format, version 0.0.4: families of samples,
// each family opened by its HELP and TYPE lines, one sample a line.
namespace exposition {

constexpr const char* contentType = "text/plain; version=0.0.4; charset=utf-8";

// A label's name (a constant of ours) and value (any text).
using Label = std::pair<std::string_view, cpp::TextSpan>;

class Writer {
public:
    // HELP and TYPE lines; the family's samples follow.
    void family(std::string_view name, std::string_view type, std::string_view help);
    // name{labels} value, value already in the format's number form.
    void sample(std::string_view name, std::initializer_list<Label> labels, std::string_view value);

    const cpp::String& text() const { return text_; }

private:
    cpp::String text_;
};

// The value inside a label's quotes: backslash, double quote and line feed
// escaped, and any byte that is no well-formed UTF-8 replaced by U+FFFD, as a
// scraper refuses a whole page for one bad byte.
void appendLabelValue(cpp::String& text, cpp::TextSpan value);

// A count in decimal, and whole milliseconds as seconds ("0.025"), exactly.
cpp::String integer(std::uint64_t value);
cpp::String seconds(std::uint64_t milliseconds);

} // namespace exposition
