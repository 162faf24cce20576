#include "ui/win32/update_window.h"

#include "resources/resource.h"
#include "ui/win32/window_fixture.h"
#include "cpp/win32/unique_handle.h"

#include <gtest/gtest.h>

#include <commctrl.h>

namespace {

class UpdateWindowTest : public ui::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        images.load(IDB_CLOSE);
        LOGFONTW description{};
        description.lfHeight = 14;
        fonts.create("ui", description);
        parent.reset(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr));
        ASSERT_TRUE(parent);
    }

    ui::FontCache fonts;
    ui::ImageCache images;
    cpp::windows::WindowHandle parent;
};

TEST_F(UpdateWindowTest, StartsHiddenItsCrossHidesItAndItGoesWithTheObject) {
    HWND window = nullptr;
    {
        ui::UpdateWindow notice(fonts, images, "http://127.0.0.1/");
        notice.create(parent.get());
        window = notice.window();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(GetParent(window), parent.get());
        EXPECT_FALSE(GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE);
        EXPECT_EQ(reinterpret_cast<HBITMAP>(
                      SendDlgItemMessageW(window, IDC_CLOSE_NOTICE, BM_GETIMAGE, IMAGE_BITMAP, 0)),
                  images.byId(IDB_CLOSE));
        EXPECT_EQ(reinterpret_cast<HFONT>(SendDlgItemMessageW(window, IDC_UPDATE_LINK, WM_GETFONT, 0, 0)),
                  fonts.byName("ui")->handle());

        notice.show();
        EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE);
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_CLOSE_NOTICE, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_CLOSE_NOTICE)));
        EXPECT_FALSE(GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE);
        // Still there to be shown again.
        notice.show();
        EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE);
    }
    EXPECT_FALSE(IsWindow(window));
}

} // namespace
