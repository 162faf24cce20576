#include "cpp/property_map.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace cpp {
namespace {

using Entries = std::vector<std::pair<String, String>>;

Entries entries(const PropertyMap& map) {
    return {map.begin(), map.end()};
}

TEST(PropertyMap, AbsentKeyIsTheNullSpanAndAnEmptyValueIsNot) {
    PropertyMap map;
    map.set("--uninstall", "");
    EXPECT_EQ(map.get("missing").begin(), nullptr);
    EXPECT_NE(map.get("--uninstall").begin(), nullptr);
    EXPECT_TRUE(map.get("--uninstall").empty());
    EXPECT_FALSE(map.contains(TextSpan()));

    map.set("--uninstall", "yes");
    EXPECT_EQ(String(map.get("--uninstall")), "yes");
    EXPECT_EQ(map.erase("--uninstall"), 1u);
    EXPECT_EQ(map.erase("--uninstall"), 0u);
    EXPECT_TRUE(map.empty());
}

TEST(PropertyMap, KeysIterateByteWiseWhateverTheInsertionOrder) {
    PropertyMap map;
    for (const char* key : {"scale", "\xc3\xa9t\xc3\xa9", "active", "Zulu", "pos"}) {
        map.set(key, "");
    }
    std::vector<String> keys;
    for (const auto& [key, value] : map) {
        keys.push_back(key);
    }
    // Bytes above 0x7f sort after ASCII, capitals before small letters.
    EXPECT_EQ(keys, (std::vector<String>{"Zulu", "active", "pos", "scale", "\xc3\xa9t\xc3\xa9"}));
}

TEST(PropertyMapParseLine, SplitsAtTheFirstRunOfDelimiters) {
    PropertyMap map;
    for (const char* line : {"hosts a;b;", "pos\t10,20,800,600", "active:c;", "scale=60", "key := \t value",
                             "url http://h:80/a=b", "flag", "empty \t"}) {
        map.parseLine(line);
    }
    EXPECT_EQ(entries(map), (Entries{{"active", "c;"},
                                     {"empty", ""},
                                     {"flag", ""},
                                     {"hosts", "a;b;"},
                                     {"key", "value"},
                                     {"pos", "10,20,800,600"},
                                     {"scale", "60"},
                                     {"url", "http://h:80/a=b"}}));
}

TEST(PropertyMapParseLine, ValueKeepsTrailingBlanksButNotLineEnds) {
    PropertyMap map;
    map.parseLine("hosts x;y; ");
    map.parseLine("active c;\t\r\n");
    map.parseLine("pos 1\r2");
    EXPECT_EQ(entries(map), (Entries{{"active", "c;\t"}, {"hosts", "x;y; "}, {"pos", "1\r2"}}));
}

TEST(PropertyMapParseLine, CommentsEmptyLinesAndLeadingDelimitersAreIgnored) {
    PropertyMap map;
    for (const char* line : {"# hosts a;", "// hosts b;", "//", "", "  hosts x;", "\tscale 5", "=pos 1", "\r\n"}) {
        map.parseLine(line);
    }
    map.parseLine(TextSpan());
    EXPECT_TRUE(map.empty());
    // Only a mark at the very start makes a comment; one slash is a key.
    map.parseLine("/path x#y//z");
    EXPECT_EQ(entries(map), (Entries{{"/path", "x#y//z"}}));
}

TEST(PropertyMapParseLine, RemoveErasesTheNamedKeyOrWithoutValueEverything) {
    PropertyMap map;
    map.parseLine("hosts a;");
    map.parseLine("active a;");
    map.parseLine("[remove] hosts");
    map.parseLine("[remove]=absent");
    EXPECT_EQ(entries(map), (Entries{{"active", "a;"}}));
    map.parseLine("[remove]");
    EXPECT_TRUE(map.empty());
}

TEST(PropertyMapParseLine, PrefixGoesOnSetKeysButNotOnRemovals) {
    PropertyMap map;
    map.set("hosts", "plain");
    map.parseLine("hosts a;", "user.");
    EXPECT_EQ(entries(map), (Entries{{"hosts", "plain"}, {"user.hosts", "a;"}}));
    map.parseLine("[remove] hosts", "user.");
    EXPECT_EQ(entries(map), (Entries{{"user.hosts", "a;"}}));
    map.parseLine("[remove]", "user.");
    EXPECT_TRUE(map.empty());
}

TEST(PropertyMapParse, LinesApplyInOrderWithEitherLineEnd) {
    PropertyMap map;
    map.parse("\r\nhosts a;b;\r\nhosts=c;\nactive:c;\r\n# note\rpos 1,2,3,4\n[remove] pos\n\nscale 5 \r");
    EXPECT_EQ(entries(map), (Entries{{"active", "c;"}, {"hosts", "c;"}, {"scale", "5 "}}));
    map.parse("[remove]\r\nhosts d;");
    EXPECT_EQ(entries(map), (Entries{{"hosts", "d;"}}));
    map.parse(TextSpan());
    EXPECT_EQ(map.size(), 1u);
}

} // namespace
} // namespace cpp
