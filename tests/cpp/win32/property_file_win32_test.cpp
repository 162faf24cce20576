#include "cpp/property_file.h"

#include "cpp/exception.h"
#include "cpp/file.h"

#include "../temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

namespace cpp {
namespace {

// Other processes are kept out by sharing modes, which only Windows enforces.
class PropertyFileSharing : public TempFolderTest {};

TEST_F(PropertyFileSharing, AnotherWriterBlocksLoadAndSetButAReaderDoesNot) {
    const FilePath path = at("config.txt");
    writeFile(path, "hosts a;\nhosts b;\n");
    {
        const Output writer = File::openForAppending(path, AsyncIO());
        PropertyFile file;
        try {
            file.load(path, Duration::seconds(1));
            ADD_FAILURE() << "no time-out";
        } catch (const TimeoutException& error) {
            EXPECT_STREQ(error.what(), "The operation timed out");
        }
        EXPECT_FALSE(file.set("active", "a;"));
        writer.close();
    }
    {
        const Input reader = File::openForReading(path, 0, AsyncIO());
        PropertyFile file;
        file.load(path, Duration::seconds(1));
        EXPECT_EQ(std::string(file.get("hosts").view()), "b;");
        EXPECT_TRUE(file.set("active", "b;"));
    }
}

TEST_F(PropertyFileSharing, AFileIsReplacedOnlyWhenNoOpenerOutsideTheLockHoldsIt) {
    const FilePath target = at("old.txt");
    const FilePath replacement = at("new.txt");
    writeFile(target, "old");
    writeFile(replacement, "new");
    {
        // A reader shares no delete access, so the file stays as it is.
        const Input reader = File::openForReading(target, 0, AsyncIO());
        EXPECT_EQ(File::replace(replacement, target), File::Status::Access);
    }
    EXPECT_EQ(readFile(target), "old");
    {
        const Output lock = File::openForReplacing(target, AsyncIO());
        // The lock keeps other writers out ...
        EXPECT_THROW(File::openForAppending(target, AsyncIO()), IOException);
        // ... and lets the file be replaced where the system can replace an
        // open file (Windows 10 on NTFS); Wine and older systems refuse
        // while it is open at all.
        File::Status status = File::replace(replacement, target);
        EXPECT_TRUE(status == File::Status::Success || status == File::Status::Access) << toString(status);
        if (status == File::Status::Access) {
            lock.close();
            status = File::replace(replacement, target);
        }
        EXPECT_EQ(status, File::Status::Success);
    }
    EXPECT_EQ(readFile(target), "new");
    EXPECT_FALSE(File::exists(replacement));
}

TEST_F(PropertyFileSharing, AReaderHoldingTheFileDefersTheCompactionToTheNextLoad) {
    const FilePath path = at("config.txt");
    const std::string log = "hosts a;\nhosts b;\n";
    writeFile(path, log);
    {
        const Input reader = File::openForReading(path, 0, AsyncIO());
        PropertyFile file;
        file.load(path, Duration::seconds(1));
        EXPECT_EQ(std::string(file.get("hosts").view()), "b;");
        EXPECT_EQ(readFile(path), log);
        EXPECT_FALSE(File::exists(at("config.txt.new")));
    }
    std::vector<CompactionStep> steps;
    PropertyFile file(AsyncIO(), [&steps](CompactionStep step) { steps.push_back(step); });
    file.load(path, Duration::seconds(1));
    EXPECT_EQ(readFile(path), "hosts\tb;\n");
    // Before the replacement the new file is on the disk; the lock goes
    // before it or after it, as the system allows.
    ASSERT_EQ(steps.size(), 6u);
    EXPECT_EQ(std::vector<CompactionStep>(steps.begin(), steps.begin() + 4),
              (std::vector<CompactionStep>{CompactionStep::Locked, CompactionStep::Read, CompactionStep::Written,
                                           CompactionStep::Synced}));
    EXPECT_TRUE((steps[4] == CompactionStep::Replaced && steps[5] == CompactionStep::Released) ||
                (steps[4] == CompactionStep::Released && steps[5] == CompactionStep::Replaced));
}

// A read-only file is no other writer, and no wait would change it: load
// reads it as it is, and saving keeps the values in memory.
TEST_F(PropertyFileSharing, AReadOnlyFileIsReadAsItIs) {
    const FilePath path = at("config.txt");
    const std::string log = "hosts a;\nhosts b;\n";
    writeFile(path, log);
    const std::wstring name = path.toString('\\').toWide();
    ASSERT_TRUE(SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_READONLY));
    const HANDLE probe = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        // Wine run by root writes read-only files.
        CloseHandle(probe);
        SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
        GTEST_SKIP() << "this user may write read-only files";
    }
    PropertyFile file;
    EXPECT_NO_THROW(file.load(path, Duration::seconds(1)));
    EXPECT_EQ(std::string(file.get("hosts").view()), "b;");
    EXPECT_FALSE(file.set("active", "b;"));
    SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(readFile(path), log);
}

} // namespace
} // namespace cpp
