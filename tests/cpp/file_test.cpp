#include "cpp/file.h"

#include "cpp/exception.h"
#include "cpp/file_info.h"
#include "cpp/thrown.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace cpp {
namespace {

class FileTest : public TempFolderTest {};

std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    }
    return bytes;
}

TEST(FileStatus, AnUnknownValueReadsAsUnknownAndTheExceptionCarriesTheSystemCode) {
    EXPECT_EQ(toString(static_cast<File::Status>(7)), "Unknown");
    EXPECT_EQ(toString(static_cast<File::Status>(-1)), "Unknown");
    EXPECT_EQ(String("copy: %", File::Status::Access), "copy: Access");
    const File::Exception fromStatus(File::Status::NoEntry);
    EXPECT_STREQ(fromStatus.what(), "NoEntry");
    EXPECT_EQ(fromStatus.errorCode(), 2);
    EXPECT_EQ(File::Exception("Unable to copy", 183).errorCode(), 183);
}

TEST_F(FileTest, DroppedOutputStillWritesWhatItWasGiven) {
    const FilePath path = at("a.txt");
    File::openForWriting(path, AsyncIO()).put("first line\n");
    EXPECT_EQ(readFile(path), "first line\n");

    // Many small writes coalesce behind the one in flight and still arrive
    // in order, and a large one after them too.
    std::string expected;
    {
        const Output output = File::openForWriting(path, AsyncIO());
        for (int i = 0; i < 2000; ++i) {
            const String line("line %\n", i);
            output.put(line);
            expected += line;
        }
        const std::string big = pattern(300000);
        output.put(big);
        expected += big;
    }
    EXPECT_EQ(readFile(path), expected);

    const FileInfo info(path);
    EXPECT_TRUE(info.valid() && !info.isDirectory());
    EXPECT_EQ(info.size(), expected.size());
    // Whole seconds since the epoch.
    EXPECT_GT(info.modified().sinceEpoch().count(), 0u);
    EXPECT_EQ(info.modified().sinceEpoch().count() % 1000000, 0u);
    const FileInfo missing(at("missing.txt"));
    EXPECT_FALSE(missing.exists() || missing.valid());
    EXPECT_EQ(missing.size(), 0u);
    EXPECT_TRUE(FileInfo(folder_).isDirectory());
}

TEST_F(FileTest, AppendingCreatesMissingFoldersAndWritesAtTheEnd) {
    const FilePath path = at("deep/er/log.txt");
    File::openForAppending(path, AsyncIO()).put("one,");
    EXPECT_TRUE(FileInfo(at("deep/er")).isDirectory());
    {
        const Output output = File::openForAppending(path, AsyncIO());
        output.put("two,");
        output.flush();
        EXPECT_EQ(readFile(path), "one,two,");
        output.put("three");
    }
    EXPECT_EQ(readFile(path), "one,two,three");

    // Overwriting starts at the front and keeps the rest until truncated.
    {
        const Output output = File::openForOverwriting(path, AsyncIO());
        output.put("ONE");
        output.flush();
        EXPECT_EQ(readFile(path), "ONE,two,three");
        output.put("+");
        File::truncate(output);
        output.close();
        EXPECT_FALSE(output.isOpen());
        EXPECT_THROW(output.put("late"), EOFException);
    }
    EXPECT_EQ(readFile(path), "ONE+");

    // Writing anew empties the file.
    File::openForWriting(path, AsyncIO()).put("x");
    EXPECT_EQ(readFile(path), "x");

    EXPECT_THROW(File::truncate(Output()), IOException);
}

TEST_F(FileTest, OpeningMissingFilesForReadingThrows) {
    const std::string error =
        test::thrownText<IOException>([&] { File::openForReading(at("missing.txt"), 0, AsyncIO()); });
    EXPECT_EQ(error.substr(0, 26), "Unable to open file: error");
    // A file cannot be made where a file stands in for the folder.
    writeFile(at("plain"), "x");
    EXPECT_THROW(File::openForAppending(at("plain/inside.txt"), AsyncIO()), IOException);
    EXPECT_THROW(File::openForReading(folder_, 0, AsyncIO()), IOException);
}

TEST_F(FileTest, ReadsCrossTheBufferBoundaryAndStopAtTheSizeAtOpening) {
    const FilePath path = at("big.bin");
    const std::string bytes = pattern(2 * 65536 + 17);
    writeFile(path, bytes);
    EXPECT_EQ(readFile(path, 1000), bytes);
    EXPECT_EQ(readFile(path, 65536), bytes);
    EXPECT_EQ(readFile(path, 200000), bytes);

    // Bytes appended after the reader opened are not read by it.
    const Input input = File::openForReading(path, 0, AsyncIO());
    File::openForAppending(path, AsyncIO()).put("tail");
    std::vector<char> buffer(bytes.size() + 100);
    EXPECT_EQ(input.get(std::span<char>(buffer.data(), bytes.size())).view(), bytes);
    EXPECT_TRUE(input.read(buffer, Duration::seconds(30)).empty());
    EXPECT_FALSE(input.isOpen());
    EXPECT_EQ(readFile(path), bytes + "tail");

    // Reading may start anywhere; the end is the end.
    std::vector<char> small(10);
    EXPECT_EQ(File::openForReading(path, 65530, AsyncIO()).get(small).view(), bytes.substr(65530, 10));
    const Input atEnd = File::openForReading(path, -1, AsyncIO());
    EXPECT_TRUE(atEnd.read(small, Duration::infinite).empty());
    EXPECT_FALSE(atEnd.isOpen());

    // Without the limit, what was appended after opening is read as well.
    const Input unlimited(File::Handle::open(path, File::Mode::ReadOn, 2, 0, 16, AsyncIO()));
    File::openForAppending(path, AsyncIO()).put("more");
    std::string all;
    while (unlimited.isOpen()) {
        const TextSpan got = unlimited.read(small, Duration::infinite);
        EXPECT_LE(got.size(), small.size());
        all.append(got.begin(), got.size());
    }
    EXPECT_EQ(all, bytes + "tailmore");

    // An empty file ends at once.
    writeFile(at("empty"), "");
    EXPECT_EQ(readFile(at("empty")), "");
}

TEST_F(FileTest, RemoveReportsMissingEntriesAndTakesFoldersWithTheirContents) {
    EXPECT_EQ(File::remove(at("missing.txt")), File::Status::NoEntry);
    EXPECT_EQ(File::remove(at("missing-folder/")), File::Status::NoEntry);
    EXPECT_EQ(File::remove(at("missing-folder/x.txt")), File::Status::NoEntry);

    writeFile(at("a.txt"), "a");
    EXPECT_TRUE(File::exists(at("a.txt")));
    EXPECT_EQ(File::remove(at("a.txt")), File::Status::Success);
    EXPECT_FALSE(File::exists(at("a.txt")));

    writeFile(at("tree/sub/b.txt"), "b");
    writeFile(at("tree/c.txt"), "c");
    EXPECT_EQ(File::remove(at("tree")), File::Status::Success);
    EXPECT_FALSE(File::exists(at("tree")));
}

TEST_F(FileTest, CreateDirectoryMakesParentsAndRefusesWhereAFileStands) {
    EXPECT_EQ(File::createDirectory(folder_), File::Status::Success);
    EXPECT_EQ(File::createDirectory(at("a/b/c")), File::Status::Success);
    EXPECT_TRUE(FileInfo(at("a/b/c")).isDirectory());
    EXPECT_EQ(File::createDirectory(at("a/b/c")), File::Status::Success);

    writeFile(at("file"), "x");
    EXPECT_EQ(File::createDirectory(at("file")), File::Status::Exists);
    EXPECT_EQ(File::createDirectory(at("file/sub")), File::Status::NoEntry);
    EXPECT_FALSE(FileInfo(at("file")).isDirectory());
}

TEST_F(FileTest, CopyMoveAndEqual) {
    const std::string bytes = pattern(70000);
    writeFile(at("a.bin"), bytes);
    EXPECT_EQ(File::copy(at("a.bin"), at("b.bin")), File::Status::Success);
    EXPECT_EQ(readFile(at("b.bin")), bytes);
    EXPECT_TRUE(File::equal(at("a.bin"), at("b.bin")));
    EXPECT_TRUE(File::equal(at("a.bin"), at("a.bin")));

    // Same size, one byte different, past the first buffer.
    std::string changed = bytes;
    changed[66000] ^= 1;
    writeFile(at("c.bin"), changed);
    EXPECT_FALSE(File::equal(at("a.bin"), at("c.bin")));
    writeFile(at("d.bin"), bytes.substr(1));
    EXPECT_FALSE(File::equal(at("a.bin"), at("d.bin")));
    EXPECT_FALSE(File::equal(at("a.bin"), at("missing.bin")));
    EXPECT_FALSE(File::equal(at("missing.bin"), at("missing2.bin")));
    EXPECT_FALSE(File::equal(at("a.bin"), folder_));
    writeFile(at("e0"), "");
    writeFile(at("e1"), "");
    EXPECT_TRUE(File::equal(at("e0"), at("e1")));

    // Copying and moving replace an existing file.
    EXPECT_EQ(File::copy(at("c.bin"), at("b.bin")), File::Status::Success);
    EXPECT_TRUE(File::equal(at("b.bin"), at("c.bin")));
    EXPECT_EQ(File::move(at("a.bin"), at("b.bin")), File::Status::Success);
    EXPECT_FALSE(File::exists(at("a.bin")));
    EXPECT_EQ(readFile(at("b.bin")), bytes);

    EXPECT_EQ(File::copy(at("missing.bin"), at("x.bin")), File::Status::NoEntry);
    EXPECT_EQ(File::move(at("missing.bin"), at("x.bin")), File::Status::NoEntry);
    EXPECT_FALSE(File::exists(at("x.bin")));

    // Folders go with their contents.
    writeFile(at("tree/sub/f.txt"), "f");
    EXPECT_EQ(File::copy(at("tree"), at("copy")), File::Status::Success);
    EXPECT_EQ(readFile(at("copy/sub/f.txt")), "f");
    EXPECT_EQ(File::move(at("tree"), at("moved")), File::Status::Success);
    EXPECT_EQ(readFile(at("moved/sub/f.txt")), "f");
    EXPECT_FALSE(File::exists(at("tree")));
}

TEST_F(FileTest, ReplacePutsOneFileInPlaceOfAnother) {
    writeFile(at("old.txt"), "old contents");
    {
        const Output output = File::openForWriting(at("new.txt"), AsyncIO());
        output.put("new");
        File::sync(output);
        EXPECT_EQ(readFile(at("new.txt")), "new");
        output.close();
        EXPECT_THROW(File::sync(output), IOException);
    }
    EXPECT_EQ(File::replace(at("new.txt"), at("old.txt")), File::Status::Success);
    EXPECT_EQ(readFile(at("old.txt")), "new");
    EXPECT_FALSE(File::exists(at("new.txt")));

    // Onto nothing it is a rename; from nothing it fails and keeps the target.
    EXPECT_EQ(File::replace(at("old.txt"), at("moved.txt")), File::Status::Success);
    EXPECT_EQ(File::replace(at("missing.txt"), at("moved.txt")), File::Status::NoEntry);
    EXPECT_EQ(readFile(at("moved.txt")), "new");
}

TEST_F(FileTest, ListGivesTheFilesOfAllSubfolders) {
    EXPECT_TRUE(File::list(folder_).empty());
    writeFile(at("top.txt"), "1");
    writeFile(at("a/one.txt"), "2");
    writeFile(at("a/b/two.txt"), "3");
    writeFile(at("a/b/three.txt"), "4");
    EXPECT_EQ(File::createDirectory(at("empty")), File::Status::Success);

    std::vector<String> names;
    for (const FilePath& path : File::list(folder_)) {
        names.push_back(path.text().substr(folder_.text().size()));
    }
    std::vector<String> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<String>{"/a/b/three.txt", "/a/b/two.txt", "/a/one.txt", "/top.txt"}));
    // A folder's files stay together, whatever order the system lists in.
    const auto two = std::find(names.begin(), names.end(), "/a/b/two.txt");
    const auto three = std::find(names.begin(), names.end(), "/a/b/three.txt");
    EXPECT_EQ(std::abs(two - three), 1);

    EXPECT_THROW(File::list(at("missing")), Exception);
}

} // namespace
} // namespace cpp
