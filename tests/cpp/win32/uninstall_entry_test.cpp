#include "cpp/win32/uninstall_entry.h"

#include "cpp/win32/registry_values.h"

#include <gtest/gtest.h>

namespace cpp::test {
namespace {

class UninstallEntryTest : public ::testing::Test {
protected:
    void TearDown() override { deleteRegistryTree(path_); }

    const String name_ = uniqueTestName("tarnlet-test");
    const String path_ = String("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%", name_);
};

// Every value of a full entry is read back by the installer's tests.
TEST_F(UninstallEntryTest, EmptyTextsAreLeftOutSoARewriteKeepsThem) {
    UninstallEntry first;
    first.displayName = "tarnlet 1.0";
    first.installLocation = "C:\\app";
    first.version = "1.0";
    writeUninstallEntry(name_, first);
    for (const char* absent : {"UninstallString", "Publisher", "DisplayIcon", "EstimatedSize"}) {
        EXPECT_FALSE(readRegistryValue(path_, absent)) << absent;
    }
    UninstallEntry second;
    second.displayName = "tarnlet 1.1";
    second.estimatedSizeKib = 2048;
    writeUninstallEntry(name_, second);
    EXPECT_EQ(readRegistryString(path_, "DisplayName"), String("tarnlet 1.1"));
    EXPECT_EQ(readRegistryString(path_, "InstallLocation"), String("C:\\app"));
    EXPECT_EQ(readRegistryString(path_, "Version"), String("1.0"));
    EXPECT_EQ(readRegistryString(path_, "DisplayVersion"), String("1.0"));
    EXPECT_EQ(readRegistryNumber(path_, "EstimatedSize"), 2048u);
    EXPECT_EQ(readRegistryNumber(path_, "NoModify"), 1u);
    EXPECT_EQ(readRegistryNumber(path_, "NoRepair"), 1u);
}

TEST_F(UninstallEntryTest, RemovalDeletesTheEntryAndIgnoresAMissingOne) {
    UninstallEntry entry;
    entry.displayName = "tarnlet 1.1";
    entry.version = "1.1";
    writeUninstallEntry(name_, entry);
    removeUninstallEntry(name_);
    EXPECT_FALSE(registryKeyExists(path_));
    EXPECT_NO_THROW(removeUninstallEntry(name_));
    EXPECT_FALSE(registryKeyExists(path_));
}

} // namespace
} // namespace cpp::test
