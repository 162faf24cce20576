#include "cpp/command_line.h"

#include <gtest/gtest.h>

namespace cpp {
namespace {

using Arguments = std::vector<String>;

TEST(CommandLine, QuotesAndBackslashes) {
    EXPECT_EQ(splitCommandLine("a \"b c\" d\\\"e \"\""), (Arguments{"a", "b c", "d\"e"}));
    EXPECT_EQ(splitCommandLine("\"x\\ \""), (Arguments{"x\\ "}));
    EXPECT_EQ(splitCommandLine("a\\\\\"b c\""), (Arguments{"a\\b c"}));
    EXPECT_EQ(splitCommandLine("a\\\\\\\"b"), (Arguments{"a\\\"b"}));
    EXPECT_EQ(splitCommandLine("C:\\dir\\file.txt"), (Arguments{"C:\\dir\\file.txt"}));
    EXPECT_EQ(splitCommandLine("trailing\\\\"), (Arguments{"trailing\\\\"}));
}

TEST(CommandLine, SeparatorsAndEmptyInput) {
    EXPECT_EQ(splitCommandLine(""), Arguments{});
    EXPECT_EQ(splitCommandLine(" \t "), Arguments{});
    EXPECT_EQ(splitCommandLine("  --uninstall\t--noInstall  "), (Arguments{"--uninstall", "--noInstall"}));
    EXPECT_EQ(splitCommandLine("\"open quote runs to the end"), (Arguments{"open quote runs to the end"}));
    EXPECT_EQ(splitCommandLine("a\"\"b"), (Arguments{"ab"}));
}

} // namespace
} // namespace cpp
