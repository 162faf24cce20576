#include "ui/win32/font_cache.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace {

TEST(FontCacheTest, CreateReplacesTheFontUnderItsNameWhileHoldersKeepTheOld) {
    ui::FontCache fonts;
    // Before: one shared empty font, so the windows fall back to the system's.
    const auto missing = fonts.byName("ui");
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->handle(), nullptr);
    EXPECT_EQ(fonts.byName("ui"), missing);

    LOGFONTW description{};
    description.lfHeight = 14;
    std::wcscpy(description.lfFaceName, L"Tahoma");
    fonts.create("ui", description);
    const auto first = fonts.byName("ui");
    ASSERT_NE(first->handle(), nullptr);
    LOGFONTW read{};
    ASSERT_EQ(GetObjectW(first->handle(), sizeof(read), &read), static_cast<int>(sizeof(read)));
    EXPECT_EQ(read.lfHeight, 14);
    EXPECT_STREQ(read.lfFaceName, L"Tahoma");

    fonts.create("ui", description);
    EXPECT_NE(fonts.byName("ui"), first);
    // A holder of the old font keeps it alive.
    EXPECT_EQ(GetObjectW(first->handle(), sizeof(read), &read), static_cast<int>(sizeof(read)));
}

} // namespace
