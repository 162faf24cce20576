#include "ui/win32/uninstall_window.h"

#include "resources/resource.h"
#include "ui/win32/window_fixture.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using UninstallWindowTest = ui::test::WindowTest;
using ui::test::press;
using ui::test::quitPosted;

TEST_F(UninstallWindowTest, CannotBeClosedUntilFinishedAndShowsTheStatusAndTheLargeIcon) {
    ui::FontCache fonts;
    ui::UninstallWindow window(fonts);
    window.create();
    const HWND handle = window.window();
    ASSERT_NE(handle, nullptr);
    EXPECT_FALSE(IsWindowVisible(handle));
    // The close box, Escape and "Close" while disabled all do nothing.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(handle, IDC_UNINSTALL_CLOSE)));
    SendMessageW(handle, WM_CLOSE, 0, 0);
    press(handle, IDCANCEL);
    press(handle, IDC_UNINSTALL_CLOSE);
    EXPECT_TRUE(IsWindow(handle));
    EXPECT_FALSE(quitPosted());

    // As the uninstaller sees it.
    install::UninstallProgress& progress = window;
    progress.show();
    EXPECT_TRUE(IsWindowVisible(handle));
    progress.setStatus("Removing the shortcut \xe2\x80\xa6");
    std::array<wchar_t, 64> text{};
    GetDlgItemTextW(handle, IDC_UNINSTALL_STATUS, text.data(), static_cast<int>(text.size()));
    EXPECT_STREQ(text.data(), L"Removing the shortcut \u2026");
    const auto icon = reinterpret_cast<HICON>(SendDlgItemMessageW(handle, IDC_STATIC, STM_GETICON, 0, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 128);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);

    progress.finished();
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(handle, IDC_UNINSTALL_CLOSE)));
    press(handle, IDC_UNINSTALL_CLOSE);
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(window.window(), nullptr);
    EXPECT_TRUE(quitPosted());
}

} // namespace
