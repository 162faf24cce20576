#include "cpp/known_folder.h"

#include "cpp/win32/known_folder.h"
#include "cpp/win32/windows_exception.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

namespace cpp {
namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Wine's prefix lays the folders out as Windows does.
TEST(KnownFolder, SystemFoldersInTheProgramsForm) {
    EXPECT_EQ(lower(knownFolder(KnownFolder::System).text()), "c:/windows/system32");
    EXPECT_EQ(lower(knownFolder(KnownFolder::Windows).text()), "c:/windows");
    const std::string local = lower(knownFolder(KnownFolder::LocalAppData).text());
    EXPECT_TRUE(local.ends_with("/appdata/local")) << local;
    const std::string startMenu = lower(knownFolder(KnownFolder::StartMenu).text());
    EXPECT_TRUE(startMenu.ends_with("/start menu")) << startMenu;
}

TEST(KnownFolder, UnknownIdentifierThrowsTheHResult) {
    const GUID unknown = {0x12345678, 0x9abc, 0xdef0, {0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0}};
    try {
        windows::knownFolder(unknown);
        FAIL() << "no exception";
    } catch (const windows::Exception& error) {
        EXPECT_EQ(std::string(error.what()).rfind("hresult: 0x", 0), 0u) << error.what();
        EXPECT_LT(error.hresult(), 0);
    }
}

} // namespace
} // namespace cpp
