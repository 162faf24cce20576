#include "cpp/file.h"

#include "cpp/exception.h"
#include "cpp/file_info.h"
#include "cpp/win32/windows_exception.h"

#include "../temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include <windows.h>

namespace cpp {
namespace {

class FileWin32Test : public TempFolderTest {
protected:
    static String openError(const FilePath& path) {
        try {
            File::openForAppending(path, AsyncIO());
        } catch (const IOException& error) {
            return error.what();
        }
        return "no exception";
    }
};

TEST_F(FileWin32Test, AWriterLetsOthersReadOnly) {
    const FilePath path = at("data.txt");
    const Output writer = File::openForAppending(path, AsyncIO());
    writer.put("row\n");
    writer.flush();

    EXPECT_EQ(openError(path), "Unable to open file: error( 32 )");
    EXPECT_EQ(readFile(path), "row\n");
    // No delete sharing: the file stays while it is written.
    EXPECT_EQ(File::remove(path), File::Status::Access);
    EXPECT_TRUE(writer.isOpen());

    writer.put("more\n");
    writer.close();
    EXPECT_EQ(readFile(path), "row\nmore\n");
    EXPECT_EQ(File::remove(path), File::Status::Success);
}

TEST_F(FileWin32Test, AReaderLetsOthersWriteButNotDelete) {
    const FilePath path = at("config.txt");
    File::openForWriting(path, AsyncIO()).put("old contents");
    const Input reader = File::openForReading(path, 0, AsyncIO());
    {
        const Output writer = File::openForOverwriting(path, AsyncIO());
        writer.put("new");
        File::truncate(writer);
    }
    EXPECT_EQ(File::remove(path), File::Status::Access);
    EXPECT_EQ(readFile(path), "new");
    // Closing lets go of the system handle at once.
    reader.close();
    EXPECT_EQ(File::remove(path), File::Status::Success);
}

TEST_F(FileWin32Test, AttributesAndSystemErrors) {
    const FilePath path = at("flagged.txt");
    File::openForWriting(path, AsyncIO()).put("12345");
    ASSERT_TRUE(SetFileAttributesW(path.toString('\\').toWide().c_str(),
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    const FileInfo info(path);
    EXPECT_TRUE(info.valid());
    EXPECT_EQ(info.size(), 5u);
    EXPECT_TRUE(info.isHidden());
    EXPECT_TRUE(info.isReadOnly());
    EXPECT_GT(info.created().sinceEpoch().count(), 0u);
    EXPECT_EQ(info.created().sinceEpoch().count() % 1000000, 0u);
    // Read-only refuses deletion. (Windows refuses writers too, error 5;
    // Wine running as root here lets them open it.)
    EXPECT_EQ(File::remove(path), File::Status::Access);
    ASSERT_TRUE(SetFileAttributesW(path.toString('\\').toWide().c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(FileInfo(path).isHidden());

    try {
        File::list(at("missing"));
        FAIL() << "no exception";
    } catch (const windows::Exception& error) {
        EXPECT_EQ(error.errorCode(), static_cast<std::uint32_t>(ERROR_PATH_NOT_FOUND));
    }
    EXPECT_EQ(openError(at("flagged.txt/inside.txt")), "Unable to open file: error( 3 )");
}

} // namespace
} // namespace cpp
