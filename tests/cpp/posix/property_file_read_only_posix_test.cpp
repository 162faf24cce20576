// A configuration on a read-only file system: the values are read as they
// are, at once, and the file stays as it was.

#include "cpp/property_file.h"

#include "cpp/file.h"

#include "../temp_folder.h"

#include <gtest/gtest.h>

#include <string>

#include <sys/mount.h>

namespace cpp {
namespace {

class ReadOnlyFolderTest : public TempFolderTest {
protected:
    void TearDown() override {
        if (mounted_) {
            EXPECT_EQ(::umount(std::string(folder_.text()).c_str()), 0);
        }
        TempFolderTest::TearDown();
    }

    // A read-only mount binds even root, which file permissions do not.
    bool makeReadOnly() {
        const std::string folder(folder_.text());
        if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) {
            return false;
        }
        mounted_ = true;
        return ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    }

private:
    bool mounted_ = false;
};

TEST_F(ReadOnlyFolderTest, LoadReadsTheValuesAndSavingKeepsThemInMemory) {
    const FilePath path = at("config.txt");
    const std::string log = "hosts a;\nhosts b;\n";
    writeFile(path, log);
    if (!makeReadOnly()) {
        GTEST_SKIP() << "no read-only mount can be made here (root only)";
    }
    PropertyFile file;
    EXPECT_NO_THROW(file.load(path, Duration::seconds(1)));
    EXPECT_EQ(std::string(file.get("hosts").view()), "b;");
    EXPECT_FALSE(file.set("active", "b;"));
    EXPECT_EQ(readFile(path), log);
    EXPECT_FALSE(File::exists(at("config.txt.new")));
}

} // namespace
} // namespace cpp
