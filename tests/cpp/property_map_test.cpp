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

TEST(PropertyMapParseLine, KeysValuesCommentsAndRemovals) {
    const std::pair<std::vector<const char*>, Entries> cases[] = {
        // Split at the first run of delimiters.
        {{"hosts a;b;", "pos\t10,20,800,600", "active:c;", "scale=60", "key := \t value", "url http://h:80/a=b", "flag",
          "empty \t"},
         {{"active", "c;"},
          {"empty", ""},
          {"flag", ""},
          {"hosts", "a;b;"},
          {"key", "value"},
          {"pos", "10,20,800,600"},
          {"scale", "60"},
          {"url", "http://h:80/a=b"}}},
        // A value keeps its trailing blanks but not the line end.
        {{"hosts x;y; ", "active c;\t\r\n", "pos 1\r2"}, {{"active", "c;\t"}, {"hosts", "x;y; "}, {"pos", "1\r2"}}},
        // Only a mark at the very start makes a comment; one slash is a key.
        {{"# hosts a;", "// hosts b;", "//", "", "  hosts x;", "\tscale 5", "=pos 1", "\r\n", "/path x#y//z"},
         {{"/path", "x#y//z"}}},
        // A removal names its key, or without one takes everything before it.
        {{"hosts a;", "active a;", "[remove] hosts", "[remove]=absent"}, {{"active", "a;"}}},
        {{"hosts a;", "active a;", "[remove]", "scale 5"}, {{"scale", "5"}}},
    };
    for (const auto& [lines, expected] : cases) {
        PropertyMap map;
        for (const char* line : lines) {
            map.parseLine(line);
        }
        map.parseLine(TextSpan());
        EXPECT_EQ(entries(map), expected) << lines.front();
    }
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

} // namespace
} // namespace cpp
