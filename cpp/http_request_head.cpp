#include "cpp/http_request_head.h"

#include <algorithm>
#include <string_view>

namespace cpp {

namespace {

enum class Verdict : std::uint8_t { good, bad, unfinished };

bool isTokenChar(unsigned char c) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
        return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

// Visible ASCII: a target has no spaces, controls or raw non-ASCII bytes.
bool isTargetChar(unsigned char c) {
    return c > 0x20 && c < 0x7F;
}

// Field values may carry tabs and bytes beyond ASCII, but no controls.
bool isValueChar(unsigned char c) {
    return c == '\t' || (c >= 0x20 && c != 0x7F);
}

template <class Predicate>
std::size_t spanOf(std::string_view text, std::size_t from, Predicate predicate) {
    while (from < text.size() && predicate(static_cast<unsigned char>(text[from])))
        ++from;
    return from;
}

// One line without its CR LF or LF; a line not ended yet has what arrived,
// less a CR at the very end that may be the start of its ending.
struct Line {
    std::string_view text;
    std::size_t next = 0;
    bool ended = false;
};

Line lineAt(std::string_view bytes, std::size_t from) {
    const std::size_t newline = bytes.find('\n', from);
    Line line;
    line.ended = newline != std::string_view::npos;
    line.text = bytes.substr(from, line.ended ? newline - from : std::string_view::npos);
    line.next = line.ended ? newline + 1 : bytes.size();
    if (!line.text.empty() && line.text.back() == '\r')
        line.text.remove_suffix(1);
    return line;
}

// "METHOD SP target SP HTTP/1.x", judged as far as it has arrived.
Verdict requestLine(std::string_view line, bool ended, RequestHead& head) {
    const std::size_t methodEnd = spanOf(line, 0, isTokenChar);
    if (methodEnd == line.size())
        return ended ? Verdict::bad : Verdict::unfinished;
    if (methodEnd == 0 || line[methodEnd] != ' ')
        return Verdict::bad;
    const std::size_t targetStart = methodEnd + 1;
    const std::size_t targetEnd = spanOf(line, targetStart, isTargetChar);
    if (targetEnd == line.size())
        return ended ? Verdict::bad : Verdict::unfinished;
    if (targetEnd == targetStart || line[targetEnd] != ' ')
        return Verdict::bad;
    const std::string_view version = line.substr(targetEnd + 1);
    constexpr std::string_view expected = "HTTP/1.";
    const std::size_t common = std::min(version.size(), expected.size());
    if (version.substr(0, common) != expected.substr(0, common))
        return Verdict::bad;
    if (version.size() <= expected.size())
        return ended ? Verdict::bad : Verdict::unfinished;
    const char minor = version[expected.size()];
    if (version.size() > expected.size() + 1 || minor < '0' || minor > '9')
        return Verdict::bad;
    if (!ended)
        return Verdict::unfinished;
    head.method = String(line.substr(0, methodEnd));
    head.target = String(line.substr(targetStart, targetEnd - targetStart));
    head.minorVersion = minor - '0';
    return Verdict::good;
}

// "name: value": a token, a colon right after it (no space, no folding), and
// a value without controls.
Verdict headerLine(std::string_view line, bool ended) {
    const std::size_t nameEnd = spanOf(line, 0, isTokenChar);
    if (nameEnd == line.size())
        return ended ? Verdict::bad : Verdict::unfinished;
    if (nameEnd == 0 || line[nameEnd] != ':')
        return Verdict::bad;
    if (spanOf(line, nameEnd + 1, isValueChar) != line.size())
        return Verdict::bad;
    return ended ? Verdict::good : Verdict::unfinished;
}

} // namespace

RequestHead RequestHead::scan(TextSpan received, std::size_t limit) {
    const std::string_view bytes = received.view();
    RequestHead head;
    std::size_t at = 0;
    for (Line line = lineAt(bytes, at); line.ended && line.text.empty(); line = lineAt(bytes, at))
        at = line.next;
    bool first = true;
    for (;;) {
        if (at > limit) {
            head.state = State::tooLarge;
            return head;
        }
        const Line line = lineAt(bytes, at);
        if (!first && line.ended && line.text.empty()) {
            head.state = line.next > limit ? State::tooLarge : State::complete;
            head.length = line.next;
            return head;
        }
        const Verdict verdict = first ? requestLine(line.text, line.ended, head) : headerLine(line.text, line.ended);
        if (verdict == Verdict::bad) {
            head.state = State::malformed;
            return head;
        }
        if (verdict == Verdict::unfinished) {
            head.state = bytes.size() > limit ? State::tooLarge : State::incomplete;
            return head;
        }
        first = false;
        at = line.next;
    }
}

TextSpan RequestHead::path() const {
    const std::size_t query = target.find('?');
    return TextSpan(target.data(), target.data() + (query == String::npos ? target.size() : query));
}

} // namespace cpp
