#include "cpp/win32/shortcut.h"

#include "cpp/temp_folder.h"
#include "cpp/win32/shortcut_values.h"
#include "cpp/win32/windows_exception.h"

#include <gtest/gtest.h>

namespace cpp::test {
namespace {

class ShortcutTest : public TempFolderTest {
protected:
    ComApartment apartment_;
};

TEST_F(ShortcutTest, EveryPartReadsBackThroughTheShell) {
    const FilePath link = at("full.lnk");
    const FilePath target = at("bin/tool.exe");
    createShortcut(link, target, "--noInstall \"a b\"", "A tool", at("icons/tool.ico"));
    const std::optional<ShortcutValues> values = readShortcut(link);
    ASSERT_TRUE(values);
    EXPECT_EQ(values->target, target.toString('\\'));
    EXPECT_EQ(values->workingDirectory, at("bin").toString('\\'));
    EXPECT_EQ(values->arguments, String("--noInstall \"a b\""));
    EXPECT_EQ(values->description, String("A tool"));
    EXPECT_EQ(values->iconPath, at("icons/tool.ico").toString('\\'));
    EXPECT_EQ(values->iconIndex, 0);
}

TEST_F(ShortcutTest, WithoutArgumentsDescriptionOrIconItIsStillSaved) {
    const FilePath link = at("bare.lnk");
    const FilePath target = at("tool.exe");
    createShortcut(link, target, "", "", FilePath());
    const std::optional<ShortcutValues> values = readShortcut(link);
    ASSERT_TRUE(values);
    EXPECT_EQ(values->target, target.toString('\\'));
    EXPECT_EQ(values->workingDirectory, folder_.toString('\\'));
    EXPECT_EQ(values->arguments, String());
    EXPECT_EQ(values->description, String());
    EXPECT_EQ(values->iconPath, String());
}

TEST_F(ShortcutTest, AFolderThatIsMissingFailsWithTheHResult) {
    try {
        createShortcut(at("missing/link.lnk"), at("tool.exe"), "", "", FilePath());
        FAIL() << "no exception";
    } catch (const windows::Exception& error) {
        EXPECT_EQ(std::string(error.what()).rfind("hresult: 0x", 0), 0u) << error.what();
        EXPECT_LT(error.hresult(), 0);
    }
    EXPECT_FALSE(File::exists(at("missing")));
}

} // namespace
} // namespace cpp::test
