#include "cpp/win32/registry.h"

#include "cpp/win32/registry_values.h"
#include "cpp/win32/windows_exception.h"

#include <gtest/gtest.h>

namespace cpp::test {
namespace {

class RegistryKeyTest : public ::testing::Test {
protected:
    void TearDown() override {
        deleteRegistryTree(base_);
        // Goes only once no other run has a key in it.
        RegDeleteKeyW(HKEY_CURRENT_USER, parent_.toWide().c_str());
    }

    const String parent_ = "Software\\tarnlet-tests";
    const String base_ = String("%\\%", parent_, uniqueTestName("registry"));
};

TEST_F(RegistryKeyTest, CreatedKeyTakesValuesAsTheSystemReadsThem) {
    const String text = "Gr\xc3\xb6\xc3\x9f" "e \xe2\x82\xac";
    {
        RegistryKey key = RegistryKey::currentUser().create(base_);
        key.setString("Text", text);
        key.setString("Empty", "");
        key.setFlag("Flag");
    }
    EXPECT_TRUE(RegistryKey::currentUser().exists(base_));
    EXPECT_EQ(readRegistryString(base_, "Text"), text);
    // Even an empty text keeps its terminating zero.
    const std::optional<RegistryValue> empty = readRegistryValue(base_, "Empty");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(empty->bytes, std::string(2, '\0'));
    EXPECT_EQ(readRegistryNumber(base_, "Flag"), 1u);
}

TEST_F(RegistryKeyTest, MissingKeyDoesNotExistAndCannotBeOpened) {
    const String missing = String("%\\missing", base_);
    EXPECT_FALSE(RegistryKey::currentUser().exists(missing));
    try {
        RegistryKey::currentUser().open(missing);
        FAIL() << "no exception";
    } catch (const windows::Exception& error) {
        // The registry's own code, not whatever the thread last held.
        EXPECT_EQ(error.errorCode(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND)) << error.what();
    }
    // exists opened nothing it did not close: the key can still go.
    RegistryKey::currentUser().create(base_).close();
    EXPECT_TRUE(RegistryKey::currentUser().exists(base_));
}

TEST_F(RegistryKeyTest, OpenKeysAreClosedOnceAndTheRootNever) {
    RegistryKey key = RegistryKey::currentUser().create(base_);
    RegistryKey moved = std::move(key);
    EXPECT_EQ(key.handle(), nullptr);
    moved.close();
    moved.close();
    EXPECT_EQ(moved.handle(), nullptr);
    {
        RegistryKey root = RegistryKey::currentUser();
        RegistryKey otherRoot = std::move(root);
    }
    // Had the wrappers closed the predefined root, this would fail.
    RegistryKey subkey = RegistryKey::currentUser().open(base_);
    subkey.setString("After", "closing");
    EXPECT_EQ(readRegistryString(base_, "After"), String("closing"));
}

TEST_F(RegistryKeyTest, RemoveDeletesTheKeyAndFailsWhenItIsMissing) {
    RegistryKey::currentUser().create(base_).close();
    RegistryKey::currentUser().remove(base_);
    EXPECT_FALSE(registryKeyExists(base_));
    EXPECT_THROW(RegistryKey::currentUser().remove(base_), windows::Exception);
}

} // namespace
} // namespace cpp::test
