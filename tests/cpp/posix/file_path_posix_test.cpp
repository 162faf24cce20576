#include "cpp/file_path.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace cpp {
namespace {

TEST(FilePathPosix, TempFollowsTmpdirOrFallsBackToTmp) {
    const char* variable = std::getenv("TMPDIR");
    const bool wasSet = variable != nullptr;
    const std::string savedValue = wasSet ? variable : "";
    FilePath::setWorkingDirectory(FilePath("/home/user"));
    unsetenv("TMPDIR");
    EXPECT_EQ(FilePath::temp().text(), "/tmp");
    setenv("TMPDIR", "", 1);
    EXPECT_EQ(FilePath::temp().text(), "/tmp");
    setenv("TMPDIR", "/var/scratch/", 1);
    EXPECT_EQ(FilePath::temp().text(), "/var/scratch");
    setenv("TMPDIR", "/", 1);
    EXPECT_EQ(FilePath::temp().text(), "/");
    setenv("TMPDIR", "scratch", 1);
    EXPECT_EQ(FilePath::temp().text(), "/home/user/scratch");
    wasSet ? setenv("TMPDIR", savedValue.c_str(), 1) : unsetenv("TMPDIR");
    FilePath::setWorkingDirectory(FilePath());
}

} // namespace
} // namespace cpp
