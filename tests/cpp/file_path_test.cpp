#include "cpp/file_path.h"

#include "cpp/thrown.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <vector>

namespace cpp {
namespace {

// Relative text resolves against a known folder; nothing stays recorded after.
class FilePathTest : public ::testing::Test {
protected:
    void SetUp() override { FilePath::setWorkingDirectory(FilePath("C:/app")); }
    void TearDown() override { FilePath::setWorkingDirectory(FilePath()); }
};

std::string combineError(const FilePath& base, const char* relative) {
    return test::thrownText<FilePath::Exception>([&] { base.combine(relative); });
}

TEST_F(FilePathTest, TextIsKeptWhenAbsoluteAndResolvedOtherwise) {
    EXPECT_EQ(FilePath("C:\\Users\\x\\").text(), "C:/Users/x");
    EXPECT_EQ(FilePath("/tmp/").text(), "/tmp");
    EXPECT_EQ(FilePath("\\\\server\\share\\").text(), "//server/share");
    EXPECT_EQ(FilePath("C:/a/../b//").text(), "C:/a/../b/");
    EXPECT_EQ(FilePath("data/../cfg.txt").text(), "C:/app/cfg.txt");
    EXPECT_EQ(FilePath("data\\ logs \\.\\a.txt").text(), "C:/app/data/logs/a.txt");
    // Too short to be absolute: a drive alone, a separator alone.
    EXPECT_EQ(FilePath("C:").text(), "C:/app/C:");
    EXPECT_EQ(FilePath("/").text(), "C:/app");
    EXPECT_EQ(FilePath("1:x").text(), "C:/app/1:x");
    EXPECT_EQ(combineError(FilePath(), "..\\..\\x"), "Invalid file path: ../../x");
}

TEST_F(FilePathTest, CombineSkipsDotsAndStopsAtTheDrive) {
    const FilePath x("C:/x");
    EXPECT_EQ(x.combine("a/./b//c").text(), "C:/x/a/b/c");
    EXPECT_EQ(x.combine("a\\..\\..").text(), "C:");
    EXPECT_EQ(FilePath("C:/a/ b /").combine(" c\r\n").text(), "C:/a/b/c");
    EXPECT_EQ(FilePath().combine("x").text(), "C:/app/x");
    EXPECT_EQ(combineError(FilePath("C:/a"), "../../.."), "Invalid file path: ../../..");
}

TEST_F(FilePathTest, CombineKeepsTheRoot) {
    const FilePath tmp("/tmp");
    EXPECT_EQ(tmp.combine("x").text(), "/tmp/x");
    EXPECT_EQ(tmp.combine("..").text(), "/");
    EXPECT_EQ(tmp.combine("..").combine("etc").text(), "/etc");
    EXPECT_EQ(combineError(tmp, "../.."), "Invalid file path: ../..");

    const FilePath share("//server/share");
    EXPECT_EQ(share.combine("a/../c\\d").text(), "//server/share/c/d");
    EXPECT_EQ(combineError(share, ".."), "Invalid file path: ..");

    FilePath::setWorkingDirectory(FilePath("/home/user"));
    EXPECT_EQ(FilePath("logs/../a.txt").text(), "/home/user/a.txt");
    FilePath::setWorkingDirectory(share);
    EXPECT_EQ(FilePath("x").text(), "//server/share/x");
}

TEST_F(FilePathTest, ParentsStopAtTheFirstComponent) {
    const FilePath config("C:/x/config.txt");
    EXPECT_EQ(String(config.fileName()), "config.txt");
    EXPECT_EQ(config.parent().text(), "C:/x");
    EXPECT_EQ(config.parent().parent().text(), "C:");
    EXPECT_EQ(config.parent().parent().parent().text(), "C:");
    EXPECT_EQ(FilePath("/tmp").parent().text(), "/");
    EXPECT_EQ(FilePath("/tmp").parent().parent().text(), "/");
    EXPECT_EQ(FilePath("//server/share/x").parent().text(), "//server/share");
    EXPECT_EQ(FilePath("//server/share").parent().text(), "//server/share");
    EXPECT_EQ(FilePath("C:/a//b").parent().text(), "C:/a");
    EXPECT_EQ(FilePath().parent().text(), "C:/app");

    const FilePath unc("\\\\server\\ share \\dir");
    const std::vector<TextSpan> spans = unc.components();
    const std::vector<String> pieces(spans.begin(), spans.end());
    EXPECT_EQ(pieces, (std::vector<String>{"server", "share", "dir"}));
}

TEST_F(FilePathTest, TextForTheSystemFormattingAndOrder) {
    const FilePath path("C:/x/y");
    EXPECT_EQ(path.toString('\\'), "C:\\x\\y");
    EXPECT_EQ(String("path % (% bytes)", path, 12), "path C:/x/y (12 bytes)");

    EXPECT_EQ(FilePath("C:/a") <=> FilePath("C:/b"), std::strong_ordering::less);
    EXPECT_EQ(FilePath("C:/a") <=> FilePath("C:\\a\\"), std::strong_ordering::equal);
    EXPECT_EQ(FilePath("C:/a"), FilePath("C:\\a\\"));
    EXPECT_LT(FilePath("C:/a"), FilePath("C:/a/b"));
    EXPECT_LT(FilePath("C:/Z"), FilePath("C:/a"));
    EXPECT_GT(FilePath("C:/\xC3\xA9"), FilePath("C:/z"));
}

TEST(FilePathSystem, UnrecordedWorkingDirectoryIsTheCurrentOne) {
    FilePath::setWorkingDirectory(FilePath());
    const FilePath current(std::filesystem::current_path().string());
    EXPECT_EQ(FilePath::workingDirectory(), current);
    EXPECT_EQ(FilePath("a.txt"), current.combine("a.txt"));
}

TEST(FilePathSystem, TemporaryFolderIsAnExistingAbsoluteFolder) {
    const FilePath temp = FilePath::temp();
    EXPECT_EQ(FilePath(temp.text()), temp);
    EXPECT_TRUE(temp.text() == "/" || temp.text().back() != '/');
    EXPECT_TRUE(std::filesystem::is_directory(std::string(temp.text())));
}

TEST(FilePathSystem, RecordingIsSafeFromManyThreads) {
    FilePath::setWorkingDirectory(FilePath());
    const FilePath current = FilePath::workingDirectory();
    const FilePath first("C:/first");
    const FilePath second("//server/second");
    std::vector<std::thread> threads;
    for (int index = 0; index < 4; ++index) {
        threads.emplace_back([&, index] {
            for (int round = 0; round < 500; ++round) {
                if (index % 2 == 0) {
                    FilePath::setWorkingDirectory(round % 2 ? first : second);
                } else {
                    const FilePath seen = FilePath::workingDirectory();
                    EXPECT_TRUE(seen == first || seen == second || seen == current);
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    FilePath::setWorkingDirectory(FilePath());
}

} // namespace
} // namespace cpp
