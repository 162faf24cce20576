#include "cpp/http_request_head.h"

#include <gtest/gtest.h>

#include <string>

namespace cpp {
namespace {

using State = RequestHead::State;

constexpr std::size_t limit = 8192;

struct Case {
    const char* name;
    std::string bytes;
    State state;
    const char* method = "";
    const char* target = "";
};

TEST(RequestHeadTest, JudgesEachHeadAsSoonAsItsBytesShowIt) {
    const std::string get = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1:9464\r\nAccept: */*\r\n\r\n";
    const Case cases[] = {
        {"a scrape", get, State::complete, "GET", "/metrics"},
        {"bare line feeds", "HEAD /metrics?x=1 HTTP/1.0\nUser-Agent: a\tb\n\n", State::complete, "HEAD",
         "/metrics?x=1"},
        {"empty lines before it", "\r\n\r\nGET / HTTP/1.1\r\n\r\n", State::complete, "GET", "/"},
        {"values beyond ASCII", "GET / HTTP/1.1\r\nX: \xC3\xA9\xFF\r\n\r\n", State::complete, "GET", "/"},
        {"any method for the caller to refuse", "BREW /pot HTTP/1.1\r\n\r\n", State::complete, "BREW", "/pot"},
        {"nothing yet", "", State::incomplete},
        {"half a request line", "GET /met", State::incomplete},
        {"a request line cut before its version's digit", "GET / HTTP/1.", State::incomplete},
        {"a CR that may be the end of the line", "GET / HTTP/1.1\r", State::incomplete},
        {"half a header", "GET / HTTP/1.1\r\nHost: a", State::incomplete},
        {"no blank line yet", "GET / HTTP/1.1\r\nHost: a\r\n", State::incomplete},
        {"garbage", "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", State::malformed},
        {"a lowercase-only line that never ends right", "hello world\r\n", State::malformed},
        {"two spaces", "GET  / HTTP/1.1\r\n\r\n", State::malformed},
        {"no target", "GET HTTP/1.1\r\n\r\n", State::malformed},
        {"HTTP/2 in text", "GET / HTTP/2.0\r\n\r\n", State::malformed},
        {"a version too long", "GET / HTTP/1.10\r\n\r\n", State::malformed},
        {"HTTP/0.9, no version", "GET /\r\n\r\n", State::malformed},
        {"a space before the colon", "GET / HTTP/1.1\r\nHost : a\r\n\r\n", State::malformed},
        {"a folded header", "GET / HTTP/1.1\r\nA: b\r\n c\r\n\r\n", State::malformed},
        {"a bare CR in a value", "GET / HTTP/1.1\r\nA: b\rc\r\n\r\n", State::malformed},
        {"a NUL in a value", std::string("GET / HTTP/1.1\r\nA: b") + '\0' + "c\r\n\r\n", State::malformed},
        {"a header without a colon", "GET / HTTP/1.1\r\nHost\r\n\r\n", State::malformed},
        {"a control in the target", "GET /\x01 HTTP/1.1\r\n\r\n", State::malformed},
        {"a target of 9000 bytes, unfinished", "GET /" + std::string(9000, 'a'), State::tooLarge},
        {"a header too long, ended", "GET / HTTP/1.1\r\nA: " + std::string(9000, 'b') + "\r\n\r\n", State::tooLarge},
        {"endless empty lines", std::string(10000, '\n'), State::tooLarge},
    };
    for (const Case& c : cases) {
        const RequestHead head = RequestHead::scan(c.bytes, limit);
        EXPECT_EQ(head.state, c.state) << c.name;
        if (c.state == State::complete) {
            EXPECT_EQ(head.method, c.method) << c.name;
            EXPECT_EQ(head.target, c.target) << c.name;
            EXPECT_EQ(head.length, c.bytes.size()) << c.name;
        }
    }
}

TEST(RequestHeadTest, TheLimitCountsTheWholeHeadAndNotWhatFollowsIt) {
    const std::string line = "GET / HTTP/1.1\r\n";
    const std::string exact = line + "A: " + std::string(limit - line.size() - 7, 'x') + "\r\n\r\n";
    ASSERT_EQ(exact.size(), limit);
    EXPECT_EQ(RequestHead::scan(exact, limit).state, State::complete);
    EXPECT_EQ(RequestHead::scan(exact + std::string(5000, 'z'), limit).length, limit);
    EXPECT_EQ(RequestHead::scan("A" + exact, limit).state, State::tooLarge);
}

TEST(RequestHeadTest, ThePathIsTheTargetUpToItsQuery) {
    for (const auto& [target, path] : {std::pair{"/metrics", "/metrics"}, {"/metrics?a=b?c", "/metrics"},
                                       {"/?", "/"}, {"*", "*"}}) {
        const RequestHead head = RequestHead::scan(std::string("GET ") + target + " HTTP/1.1\r\n\r\n", limit);
        EXPECT_EQ(head.path().view(), path) << target;
    }
}

} // namespace
} // namespace cpp
