// A configuration on a read-only file system: the values are read as they
// are, at once, and the file stays as it was.

#include "cpp/property_file.h"

#include "cpp/file.h"

#include "../temp_folder.h"
#include "mounts.h"

#include <gtest/gtest.h>

#include <string>

namespace cpp {
namespace {

class ReadOnlyFolderTest : public TempFolderTest {
protected:
    void TearDown() override {
        EXPECT_TRUE(mount.unmount());
        TempFolderTest::TearDown();
    }

    TestMount mount;
};

TEST_F(ReadOnlyFolderTest, LoadReadsTheValuesAndSavingKeepsThemInMemory) {
    const FilePath path = at("config.txt");
    const std::string log = "hosts a;\nhosts b;\n";
    writeFile(path, log);
    if (!mount.readOnly(folder_)) {
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
