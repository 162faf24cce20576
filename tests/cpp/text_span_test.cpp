#include "cpp/text_span.h"

#include "cpp/exception.h"
#include "cpp/string.h"
#include "cpp/thrown.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace cpp {
namespace {

TEST(TextSpan, NullEndReachesTheTerminatingZero) {
    const char* text = "abc";
    EXPECT_EQ(TextSpan(text, nullptr).size(), 3u);
    EXPECT_EQ(TextSpan(text).end(), text + 3);
    EXPECT_TRUE(TextSpan(nullptr, nullptr).empty());
    EXPECT_TRUE(TextSpan(static_cast<const char*>(nullptr)).empty());
    EXPECT_TRUE(TextSpan().empty());
    EXPECT_EQ(TextSpan().begin(), nullptr);
}

TEST(TextSpan, SubstrClampsBothArguments) {
    const TextSpan text("hello");
    EXPECT_EQ(text.substr(3, 100).view(), "lo");
    EXPECT_EQ(text.substr(9, 2).view(), "");
    EXPECT_EQ(text.substr(9, 2).begin(), text.end());
    EXPECT_EQ(text.substr(0).view(), "hello");
}

TEST(TextSpan, FindOperations) {
    const TextSpan text("a,b;c");
    EXPECT_EQ(text.findFirstOf(",;", 2), 3);
    EXPECT_EQ(text.findFirstOf("x"), TextSpan::notFound);
    EXPECT_EQ(text.findFirstOf(",", 99), TextSpan::notFound);
    EXPECT_EQ(text.findLastOf(",;"), 3);
    EXPECT_EQ(TextSpan("  x  ").findLastNotOf(" "), 2);
    EXPECT_EQ(TextSpan("   ").findFirstNotOf(" "), TextSpan::notFound);
    for (auto found : {text.findFirstOf(""), text.findFirstNotOf(""), text.findLastOf(""), text.findLastNotOf("")}) {
        EXPECT_EQ(found, TextSpan::notFound);
    }
}

TEST(TextSpan, CompareIsBytewiseUnsigned) {
    EXPECT_EQ(TextSpan("abc").compare("abc"), 0);
    EXPECT_EQ(TextSpan("ab").compare("abc"), -1);
    EXPECT_EQ(TextSpan("abc").compare("ab"), 1);
    EXPECT_EQ(TextSpan("\xC3").compare("a"), 1);
    EXPECT_EQ(TextSpan().compare(""), 0);
    EXPECT_EQ(TextSpan("abc").substr(0, 2).compare("ab"), 0);
}

TEST(TextSpan, CopyToNeedsRoom) {
    std::array<char, 4> room{};
    const TextSpan copy = TextSpan("abcd").copyTo(room);
    EXPECT_EQ(copy.view(), "abcd");
    EXPECT_EQ(copy.begin(), room.data());
    EXPECT_EQ(test::thrownText<IOException>([&] { TextSpan("abcde").copyTo(room); }), "Memory write failed");
}

TEST(TextSpan, DecodeAt) {
    struct Case {
        const char* bytes;
        std::int32_t value;
        std::size_t length;
    };
    const Case cases[] = {
        {"A", 'A', 1},
        {"\xC3\xA9", 0xE9, 2},
        {"\xE2\x82\xAC", 0x20AC, 3},
        {"\xF0\x9F\x98\x80", 0x1F600, 4},
        {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4},
        {"\x80", -1, 1},          // stray continuation
        {"\xC0\xAF", -1, 1},      // overlong lead
        {"\xC1\xBF", -1, 1},
        {"\xE0\x9F\x80", -1, 1},  // overlong three-byte
        {"\xF0\x8F\x80\x80", -1, 1},
        {"\xF4\x90\x80\x80", -1, 1},  // above U+10FFFF
        {"\xF5\x80\x80\x80", -1, 1},
        {"\xE2\x82", -1, 1},      // cut by the end
        {"\xC3\x41", -1, 1},      // wrong continuation
    };
    for (const Case& c : cases) {
        const CodePoint decoded = TextSpan(c.bytes).decodeAt(0);
        EXPECT_EQ(decoded.value, c.value) << c.bytes;
        EXPECT_EQ(decoded.length, c.length) << c.bytes;
    }
    EXPECT_EQ(TextSpan("x\xC3\xA9").decodeAt(1).value, 0xE9);
    EXPECT_EQ(TextSpan("abc").decodeAt(7).value, 0);
}

TEST(TextSpan, SplitCanKeepEmptyPieces) {
    const auto pieces = TextSpan("a;;b;").split(";", "", true);
    EXPECT_EQ(std::vector<String>(pieces.begin(), pieces.end()), (std::vector<String>{"a", "", "b", ""}));
    EXPECT_EQ(TextSpan("").split(";", "", true).size(), 1u);
    EXPECT_EQ(TextSpan("").split(";", "", false).size(), 0u);
}

} // namespace
} // namespace cpp
