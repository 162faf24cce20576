#include "ui/win32/font_cache.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace {

TEST(FontCacheTest, AMissingNameGivesOneSharedEmptyFont) {
    ui::FontCache fonts;
    const auto header = fonts.byName("ui-header");
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->handle(), nullptr);
    EXPECT_EQ(fonts.byName("ui-header"), header);
}

TEST(FontCacheTest, CreateReplacesTheFontUnderItsName) {
    ui::FontCache fonts;
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
