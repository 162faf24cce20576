#include "cpp/string.h"

#include "cpp/exception.h"
#include "cpp/thrown.h"
#include "cpp/time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <stdexcept>
#include <thread>

namespace cpp {
namespace {

TEST(StringFormatting, EachPercentTakesTheNextArgumentOnce) {
    const std::string standard = "std";
    const TextSpan span("span text", nullptr);
    const std::pair<String, const char*> cases[] = {
        {String("error code: % (%)", 5, String::toHex(5)), "error code: 5 (0x000005)"},
        {String("a%%b", 1, 2), "a12b"},
        // A surplus percent stays, surplus arguments vanish.
        {String("a%%b", 1), "a1%b"},
        {String("done", 5), "done"},
        {String("% and %", "one", "two", "three"), "one and two"},
        // An argument's text is never scanned again.
        {String("% ms", "50%"), "50% ms"},
        {String("%-%", "%", "x"), "%-x"},
        {String("% % % %", standard, String("own"), span.substr(0, 4), "literal"), "std own span literal"},
        {String("% % %", -7, static_cast<unsigned char>(200), INT64_MIN), "-7 200 -9223372036854775808"},
        {String("%", UINT64_MAX), "18446744073709551615"},
        {String("took %", Duration::milliseconds(1500)), "took 1.500 seconds"},
        {String::fromInteger(5, 2, 1), " 5"},
        {String::fromUnsigned(5, 3, 3, true), "005"},
        {String::fromInteger(-42, 5, 0, true), "-0042"},
        {String::fromInteger(7, 0, 0, false, true), "+7"},
        {String::fromInteger(12345, 3), "12345"},
        {String::toHex(0x1f2e3d4c), "0x1f2e3d4c"},
        {String::toHex(0), "00000000"},
        {String::toHex(0x1234567890ull), "0x34567890"},
    };
    for (const auto& [formatted, expected] : cases) {
        EXPECT_EQ(formatted, expected);
    }
}

TEST(StringFormatting, PrintfStyleGrowsPastItsFirstBuffer) {
    EXPECT_EQ(String::format("%s-%d", std::string(100, 'x').c_str(), 42), std::string(100, 'x') + "-42");
    EXPECT_EQ(String::format("%s", std::string(63, 'y').c_str()).size(), 63u);
    EXPECT_EQ(String::format("%s", std::string(64, 'y').c_str()).size(), 64u);
    EXPECT_EQ(String::format("%s", ""), "");
}

TEST(StringNumbers, ToIntegerParsesAsStrtollDoesAndThrowsOutOfRange) {
    const std::pair<const char*, std::int64_t> cases[] = {
        {" 42xyz", 42}, {"\t-17", -17}, {"+8", 8}, {"abc", 0}, {"", 0}, {"- 5", 0},
        {"-9223372036854775808", INT64_MIN}, {"9223372036854775807", INT64_MAX},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(String(text).toInteger(), value) << text;
    }
    for (const char* text : {"9223372036854775808", "-9223372036854775809", "99999999999999999999999"}) {
        EXPECT_EQ(test::thrownText<Exception>([&] { String(text).toInteger(); }), "range error while parsing integer")
            << text;
    }
    // A failed parse must not poison the next one.
    EXPECT_EQ(String("12").toInteger(), 12);
}

TEST(StringSplit, TrimsAndDropsEmptyPieces) {
    using Pieces = std::vector<String>;
    EXPECT_EQ(String("8.8.8.8; example ;;x").split(";", String::whitespace), (Pieces{"8.8.8.8", "example", "x"}));
    EXPECT_EQ(String("").split(";", String::whitespace), Pieces{});
    EXPECT_EQ(String(";;").split(";", String::whitespace), Pieces{});
    EXPECT_EQ(String(" a ").split(";", String::whitespace), Pieces{"a"});
    EXPECT_EQ(String(" \t;\r\n").split(";", String::whitespace), Pieces{});
    EXPECT_EQ(String("a b,c").split(", ", ""), (Pieces{"a", "b", "c"}));
    EXPECT_EQ(String(" a ;b").split(";", ""), (Pieces{" a ", "b"}));
}

TEST(StringRegex, MatchIsWholeTextAndSearchIsFirstOccurrence) {
    const String line = "Reply from 127.0.0.1: bytes=32 time<1ms TTL=128";
    const auto found = line.search("time[<=](\\d+)ms");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(String(found[0]), "time<1ms");
    EXPECT_EQ(String(found[1]), "1");
    EXPECT_EQ(found[1].begin(), line.data() + line.find('1', line.find("time")));
    EXPECT_TRUE(line.match("time[<=](\\d+)ms").empty());
    EXPECT_TRUE(line.search("timed out|failed").empty());

    const String version = "1.10";
    const auto whole = version.match("(\\d+)\\.(\\d+)");
    ASSERT_EQ(whole.size(), 3u);
    EXPECT_EQ(String(whole[2]), "10");
    // The same pattern again, after others, still answers the same.
    EXPECT_EQ(TextSpan("x9").search("(\\d+)").size(), 2u);
    EXPECT_EQ(TextSpan("2.3").match("(\\d+)\\.(\\d+)").size(), 3u);
}

TEST(StringRegex, ThreadsThatSearchAndEnd) {
    std::atomic<int> found{0};
    for (int round = 0; round < 20; ++round) {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&, t] {
                const String line = String("Reply from 127.0.0.1: bytes=32 time=%ms TTL=128", t);
                if (line.search("time[<=](\\d+)ms").size() == 2 && line.search(String("x%|time", t)).size() == 1) {
                    ++found;
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
    }
    EXPECT_EQ(found.load(), 80);
}

std::wstring wide(std::initializer_list<unsigned> units) {
    std::wstring text;
    for (unsigned unit : units) {
        text += static_cast<wchar_t>(unit);
    }
    return text;
}

TEST(StringUnicode, Utf8ToUtf16) {
    EXPECT_EQ(String("\xC3\xA9").toWide(), wide({0xE9}));
    EXPECT_EQ(String("\xC0\xAF").toWide(), wide({0xFFFD, 0xFFFD}));
    EXPECT_EQ(String("\xF0\x9F\x98\x80").toWide(), wide({0xD83D, 0xDE00}));
    EXPECT_EQ(String("a\xE2\x82").toWide(), wide({'a', 0xFFFD, 0xFFFD}));
    // An encoded surrogate decodes as itself, the mirror of the lone surrogates below.
    EXPECT_EQ(String("\xED\xA0\x80").toWide(), wide({0xD800}));
    EXPECT_EQ(String("\xF4\x90\x80\x80").toWide(), wide({0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}));
    EXPECT_EQ(String(std::string("a\0b", 3)).toWide(), wide({'a', 0, 'b'}));
    EXPECT_EQ(String("").toWide(), L"");
}

TEST(StringUnicode, Utf16ToUtf8) {
    EXPECT_EQ(String(wide({0xD83D, 0xDE00})), "\xF0\x9F\x98\x80");
    EXPECT_EQ(String(wide({0xDC00})), "\xED\xB0\x80");
    EXPECT_EQ(String(wide({'x', 0xD800})), "x\xEF\xBF\xBD");
    EXPECT_EQ(String(wide({0xD800, 'y'})), "\xED\xA0\x80y");
    EXPECT_EQ(String(wide({0x7F, 0x80, 0x7FF, 0x800, 0xFFFF})), "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF");
    // Valid text survives the round trip.
    const String text = "h\xC3\xA9llo \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF";
    EXPECT_EQ(String(text.toWide()), text);
}

TEST(StringUnicode, CodePointsAboveTheUnicodeRangeThrow) {
    if constexpr (sizeof(wchar_t) > 2) {
        EXPECT_EQ(test::thrownText<Exception>([] { String(wide({0x110000})); }), "invalid unicode code_point");
    } else {
        GTEST_SKIP() << "16-bit units cannot hold a code point above U+10FFFF";
    }
}

} // namespace
} // namespace cpp
