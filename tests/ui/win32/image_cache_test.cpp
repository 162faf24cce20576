#include "ui/win32/image_cache.h"

#include "app/last_resort.h"
#include "resources/resource.h"
#include "ui/win32/window_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace {

using ImageCacheTest = ui::test::ComTest;

struct Pixel {
    std::uint8_t blue, green, red, alpha;
    bool operator==(const Pixel&) const = default;
};

DIBSECTION section(HBITMAP bitmap) {
    DIBSECTION info{};
    EXPECT_EQ(GetObjectW(bitmap, sizeof(info), &info), static_cast<int>(sizeof(info)));
    return info;
}

Pixel pixelAt(HBITMAP bitmap, int x, int y) {
    const DIBSECTION info = section(bitmap);
    Pixel pixel{};
    const auto* row = static_cast<const std::uint8_t*>(info.dsBm.bmBits) + y * info.dsBm.bmWidthBytes;
    std::memcpy(&pixel, row + x * 4, sizeof(pixel));
    return pixel;
}

TEST_F(ImageCacheTest, DecodesEveryImageToA32BitSection) {
    ui::ImageCache images;
    const std::array<std::int32_t, 8> ids{IDB_STATUS_DISABLED, IDB_STATUS_SLOW, IDB_STATUS_LATE, IDB_STATUS_FAIR,
                                          IDB_STATUS_GOOD,     IDB_STATUS_FAST, IDB_STATUS_LOST, IDB_CLOSE};
    for (const std::int32_t id : ids) {
        SCOPED_TRACE(id);
        images.load(id);
        const HBITMAP bitmap = images.byId(id);
        ASSERT_NE(bitmap, nullptr);
        const DIBSECTION info = section(bitmap);
        EXPECT_EQ(info.dsBm.bmWidth, 16);
        EXPECT_EQ(info.dsBm.bmHeight, 16);
        EXPECT_EQ(info.dsBm.bmBitsPixel, 32);
        EXPECT_EQ(info.dsBm.bmWidthBytes, 16 * 4);
        // The corner lies outside every picture: clear, so premultiplied black.
        EXPECT_EQ(pixelAt(bitmap, 0, 0), (Pixel{0, 0, 0, 0}));
    }
}

TEST_F(ImageCacheTest, KeepsTheColoursOfTheTableInBlueGreenRedOrder) {
    ui::ImageCache images;
    for (const std::int32_t id : {IDB_STATUS_FAST, IDB_STATUS_SLOW, IDB_STATUS_LATE, IDB_CLOSE, IDB_STATUS_LOST})
        images.load(id);
    // The lost square's red mark lies in its lower half: rows run top-down.
    EXPECT_EQ(pixelAt(images.byId(IDB_STATUS_LOST), 10, 10), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(pixelAt(images.byId(IDB_STATUS_LOST), 10, 5), (Pixel{128, 128, 128, 255}));
    // Top row of the square is its border, the middle its fill.
    EXPECT_EQ(pixelAt(images.byId(IDB_STATUS_FAST), 8, 1), (Pixel{110, 206, 163, 255}));
    EXPECT_EQ(pixelAt(images.byId(IDB_STATUS_FAST), 8, 8), (Pixel{137, 255, 203, 255}));
    EXPECT_EQ(pixelAt(images.byId(IDB_STATUS_SLOW), 5, 5), (Pixel{65, 122, 255, 255}));
    // Half yellow, half orange-red.
    EXPECT_EQ(pixelAt(images.byId(IDB_STATUS_LATE), 4, 8), (Pixel{137, 224, 255, 255}));
    EXPECT_EQ(pixelAt(images.byId(IDB_STATUS_LATE), 11, 8), (Pixel{65, 122, 255, 255}));
    EXPECT_EQ(pixelAt(images.byId(IDB_CLOSE), 3, 3), (Pixel{0, 0, 0, 255}));
}

TEST_F(ImageCacheTest, AMissingResourceLeavesNoEntryAndEndsInAnErrorBoxNamingTheCause) {
    ui::ImageCache images;
    cpp::String told;
    runAsLastResort([&] { images.load(999); }, [&](const cpp::String& text) { told = text; });
    EXPECT_EQ(told.rfind("An error occured: ", 0), 0u) << told;
    EXPECT_GT(told.size(), std::strlen("An error occured: ")) << "the box names no cause";
    EXPECT_EQ(images.byId(999), nullptr);
    // Asking for an id never loaded gives no bitmap, not an error.
    EXPECT_EQ(images.byId(IDB_STATUS_FAST), nullptr);
}

TEST_F(ImageCacheTest, LoadingAgainReplacesTheBitmap) {
    ui::ImageCache images;
    images.load(IDB_STATUS_FAST);
    const HBITMAP first = images.byId(IDB_STATUS_FAST);
    images.load(IDB_STATUS_FAST);
    const HBITMAP second = images.byId(IDB_STATUS_FAST);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    // The first was deleted with its entry.
    DIBSECTION info{};
    EXPECT_EQ(GetObjectW(first, sizeof(info), &info), 0);
}

} // namespace
