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
    writeUninstallEntry(name_, {.displayName = "tarnlet 1.0", .installLocation = "C:\\app", .version = "1.0"});
    for (const char* absent : {"UninstallString", "Publisher", "DisplayIcon", "EstimatedSize"}) {
        EXPECT_FALSE(readRegistryValue(path_, absent)) << absent;
    }
    writeUninstallEntry(name_, {.displayName = "tarnlet 1.1", .estimatedSizeKib = 2048});
    EXPECT_EQ(readRegistryString(path_, "DisplayName"), String("tarnlet 1.1"));
    EXPECT_EQ(readRegistryString(path_, "InstallLocation"), String("C:\\app"));
    EXPECT_EQ(readRegistryString(path_, "Version"), String("1.0"));
    EXPECT_EQ(readRegistryString(path_, "DisplayVersion"), String("1.0"));
    EXPECT_EQ(readRegistryNumber(path_, "EstimatedSize"), 2048u);
    EXPECT_EQ(readRegistryNumber(path_, "NoModify"), 1u);
    EXPECT_EQ(readRegistryNumber(path_, "NoRepair"), 1u);
}

TEST_F(UninstallEntryTest, RemovalDeletesTheEntryAndIgnoresAMissingOne) {
    writeUninstallEntry(name_, {.displayName = "tarnlet 1.1", .version = "1.1"});
    removeUninstallEntry(name_);
    EXPECT_FALSE(registryKeyExists(path_));
    EXPECT_NO_THROW(removeUninstallEntry(name_));
    EXPECT_FALSE(registryKeyExists(path_));
}

} // namespace
} // namespace cpp::test
