#include "ui/win32/tray_icon.h"

#include "cpp/win32/unique_handle.h"
#include "ui/status_image.h"
#include "ui/win32/window_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What the icon asked of the shell, one call each.
struct ShellCall {
    DWORD message;
    NOTIFYICONDATAW data;
};

class TrayIconTest : public ui::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (IsSkipped())
            return;
        owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        if (owner)
            DestroyWindow(owner);
        WindowTest::TearDown();
    }

    std::vector<DWORD> messages() const {
        std::vector<DWORD> result;
        for (const ShellCall& call : calls)
            result.push_back(call.message);
        return result;
    }

    // The middle pixel of an icon's colour bitmap as 0xAARRGGBB.
    static std::uint32_t middlePixel(HICON icon) {
        ICONINFO info{};
        EXPECT_TRUE(GetIconInfo(icon, &info));
        const cpp::windows::BitmapHandle colour(info.hbmColor), mask(info.hbmMask);
        return middlePixel(info.hbmColor);
    }
    // The same pixel of the status image drawn at the small-icon size.
    static std::uint32_t drawnMiddle(ui::StatusImage image) {
        return ui::statusImage(image, 16)[8 * 16 + 8];
    }
    static std::uint32_t middlePixel(HBITMAP bitmap) {
        BITMAPINFO format{};
        format.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        std::uint32_t pixels[16 * 16] = {};
        const cpp::windows::ScreenDc screen(GetDC(nullptr));
        GetDIBits(screen.get(), bitmap, 0, 16, pixels, &format, DIB_RGB_COLORS);
        return pixels[8 * 16 + 8];
    }

    HWND owner = nullptr;
    std::vector<ShellCall> calls;
    ui::TrayIcon::Shell shell = [this](DWORD message, const NOTIFYICONDATAW& data) {
        calls.push_back({message, data});
        return true;
    };
};

TEST_F(TrayIconTest, AddsVersionFourWithTheCallbackAndChangesOnlyWhatChanged) {
    ui::TrayIcon tray(shell);
    tray.add(owner);
    ASSERT_EQ(messages(), (std::vector<DWORD>{NIM_DELETE, NIM_ADD, NIM_SETVERSION}));
    const NOTIFYICONDATAW& added = calls[1].data;
    EXPECT_EQ(added.hWnd, owner);
    EXPECT_EQ(added.uCallbackMessage, ui::TrayIcon::callbackMessage);
    EXPECT_EQ(added.uFlags & (NIF_MESSAGE | NIF_ICON | NIF_TIP), static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(std::wstring(added.szTip), L"tarnlet");
    EXPECT_EQ(calls[2].data.uVersion, static_cast<UINT>(NOTIFYICON_VERSION_4));
    EXPECT_EQ(middlePixel(added.hIcon), drawnMiddle(ui::statusDisabled));

    calls.clear();
    const ui::TrayStatus lost{ui::statusLost, "0 of 1 host up"};
    tray.show(lost);
    tray.show(lost);
    ASSERT_EQ(messages(), (std::vector<DWORD>{NIM_MODIFY}));
    EXPECT_EQ(std::wstring(calls[0].data.szTip), L"0 of 1 host up");
    EXPECT_EQ(middlePixel(calls[0].data.hIcon), drawnMiddle(ui::statusLost));
    EXPECT_NE(drawnMiddle(ui::statusLost), drawnMiddle(ui::statusFast));

    // Explorer restarted: added again with what it showed.
    calls.clear();
    tray.add(owner);
    ASSERT_EQ(messages(), (std::vector<DWORD>{NIM_DELETE, NIM_ADD, NIM_SETVERSION}));
    EXPECT_EQ(std::wstring(calls[1].data.szTip), L"0 of 1 host up");

    calls.clear();
    tray.remove();
    tray.remove();
    EXPECT_EQ(messages(), (std::vector<DWORD>{NIM_DELETE}));
}

TEST_F(TrayIconTest, ANotificationIsAnInfoBalloonWithItsTextsCutToTheirFields) {
    ui::TrayIcon tray(shell);
    // Nothing is asked of the shell before the icon is there.
    tray.notify({"early", "dropped"});
    EXPECT_TRUE(calls.empty());
    tray.add(owner);
    calls.clear();
    const cpp::String longName(std::string(100, 'h'));
    tray.notify({longName + " is not answering", "No reply since 14:03:12."});
    ASSERT_EQ(messages(), (std::vector<DWORD>{NIM_MODIFY}));
    const NOTIFYICONDATAW& info = calls[0].data;
    EXPECT_EQ(info.uFlags & NIF_INFO, static_cast<UINT>(NIF_INFO));
    EXPECT_EQ(std::wstring(info.szInfoTitle), std::wstring(63, L'h'));
    EXPECT_EQ(std::wstring(info.szInfo), L"No reply since 14:03:12.");
}

} // namespace
