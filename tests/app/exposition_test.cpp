#include "app/exposition.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ExpositionTest, LabelValuesAreEscapedAndKeptWellFormed) {
    const struct {
        const char* name;
        std::string value;
        std::string written;
    } cases[] = {
        {"plain", "127.0.0.1", "127.0.0.1"},
        {"quotes", "a\"b\"", "a\\\"b\\\""},
        {"backslashes", "C:\\hosts\\", "C:\\\\hosts\\\\"},
        {"line breaks", "a\nb\r\n", "a\\nb\r\\n"},
        {"an escape sequence written out", "\\n", "\\\\n"},
        {"non-ASCII kept", "h\xC3\xB6st-\xE6\x97\xA5\xF0\x9F\x8C\x8D", "h\xC3\xB6st-\xE6\x97\xA5\xF0\x9F\x8C\x8D"},
        {"a stray continuation byte", "a\x80z", "a\xEF\xBF\xBDz"},
        {"a cut sequence at the end", "a\xE6\x97", "a\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"an overlong slash", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"a surrogate", "\xED\xA0\x80", "\xEF\xBF\xBD"},
        {"Latin-1", "caf\xE9", "caf\xEF\xBF\xBD"},
        {"a NUL", std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& c : cases) {
        cpp::String written;
        exposition::appendLabelValue(written, c.value);
        EXPECT_EQ(written, c.written) << c.name;
    }
}

TEST(ExpositionTest, FamiliesAndSamplesAreLinesOfTheTextFormat) {
    exposition::Writer out;
    out.family("x_total", "counter", "Things\\seen,\nso far.");
    out.sample("x_total", {{"host", "a\"b"}, {"le", "+Inf"}}, "3");
    out.sample("x_total", {}, "0.025");
    EXPECT_EQ(out.text(), "# HELP x_total Things\\\\seen,\\nso far.\n"
                          "# TYPE x_total counter\n"
                          "x_total{host=\"a\\\"b\",le=\"+Inf\"} 3\n"
                          "x_total 0.025\n");
}

TEST(ExpositionTest, MillisecondsBecomeExactSeconds) {
    for (const auto& [milliseconds, text] : {std::pair<std::uint64_t, const char*>{0, "0.000"},
                                             {1, "0.001"},
                                             {25, "0.025"},
                                             {1000, "1.000"},
                                             {1702031405123, "1702031405.123"},
                                             {UINT64_MAX, "18446744073709551.615"}})
        EXPECT_EQ(exposition::seconds(milliseconds), text);
}

} // namespace
