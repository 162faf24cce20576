// cpp::RequestHead::scan on arbitrary bytes, under a limit taken from the
// input: a complete head fits the limit and the bytes, and its method and
// target are the request line's; every shorter piece of it is still
// incomplete; and a refusal (malformed or too large) stays a refusal
// whatever follows, as the server answers as soon as it has one.
#include "cpp/http_request_head.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using State = cpp::RequestHead::State;

void require(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::size_t limit = (static_cast<std::size_t>(data[0]) << 8 | data[1]) % 4096;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
    const cpp::RequestHead head = cpp::RequestHead::scan(bytes, limit);

    if (head.state == State::complete) {
        require(head.length <= limit && head.length <= bytes.size());
        require(!head.method.empty() && !head.target.empty());
        require(head.minorVersion >= 0 && head.minorVersion <= 9);
        const std::string_view text = bytes.substr(0, head.length);
        require(text.find(std::string_view(head.method + " " + head.target + " HTTP/1.")) != std::string_view::npos);
        require(text.substr(text.size() - 1) == "\n");
        for (std::size_t cut = 0; cut < head.length; cut += 1 + cut / 8)
            require(cpp::RequestHead::scan(bytes.substr(0, cut), limit).state == State::incomplete);
        require(cpp::RequestHead::scan(text, limit).length == head.length);
    } else if (head.state == State::incomplete) {
        require(bytes.size() <= limit);
    }
    for (std::size_t cut = bytes.size() / 2; cut > 0; cut /= 2) {
        const cpp::RequestHead earlier = cpp::RequestHead::scan(bytes.substr(0, cut), limit);
        if (earlier.state == State::complete)
            require(head.state == State::complete && head.length == earlier.length);
        else if (earlier.state != State::incomplete)
            require(head.state == State::malformed || head.state == State::tooLarge);
    }
    return 0;
}
