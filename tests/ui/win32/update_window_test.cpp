#include "ui/win32/update_window.h"

#include "resources/resource.h"
#include "cpp/win32/unique_handle.h"
#include "ui/close_cross.h"
#include "ui/win32/rect.h"
#include "ui/win32/window_dpi.h"
#include "ui/win32/window_fixture.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdint>
#include <map>

namespace {

class UpdateWindowTest : public ui::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        LOGFONTW description{};
        description.lfHeight = 14;
        fonts.create("ui", description);
        parent.reset(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr));
        ASSERT_TRUE(parent);
    }

    // Each control's rectangle in the notice, and the notice's size.
    static std::map<int, RECT> places(HWND notice) {
        std::map<int, RECT> found;
        for (const int id : {IDC_UPDATE_ICON, IDC_UPDATE_TEXT, IDC_UPDATE_LINK, IDC_CLOSE_NOTICE}) {
            RECT bounds;
            GetWindowRect(GetDlgItem(notice, id), &bounds);
            MapWindowPoints(nullptr, notice, reinterpret_cast<POINT*>(&bounds), 2);
            found[id] = bounds;
        }
        RECT outer;
        GetWindowRect(notice, &outer);
        found[0] = RECT{0, 0, outer.right - outer.left, outer.bottom - outer.top};
        return found;
    }

    ui::FontCache fonts;
    cpp::windows::WindowHandle parent;
};

TEST_F(UpdateWindowTest, StartsHiddenItsCrossHidesItAndItGoesWithTheObject) {
    HWND window = nullptr;
    {
        ui::UpdateWindow notice(fonts, "http://127.0.0.1/");
        notice.create(parent.get());
        window = notice.window();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(GetParent(window), parent.get());
        EXPECT_FALSE(GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE);
        // The cross is drawn by the notice, for the button's size.
        EXPECT_EQ(GetWindowLongW(GetDlgItem(window, IDC_CLOSE_NOTICE), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
        EXPECT_EQ(reinterpret_cast<HFONT>(SendDlgItemMessageW(window, IDC_UPDATE_LINK, WM_GETFONT, 0, 0)),
                  fonts.byName("ui", ui::dpiOf(window))->handle());

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

// The close button drawn into a bitmap of its own: the pixels in the
// button text's colour, and whether any pixel differs from an unfocused
// drawing where the focus rectangle goes.
struct Drawn {
    std::int64_t ink = 0;
    std::int64_t differsAtFocus = 0;
};

Drawn drawClose(HWND notice, std::uint32_t state) {
    const HWND button = GetDlgItem(notice, IDC_CLOSE_NOTICE);
    RECT client;
    GetClientRect(button, &client);
    const auto draw = [&](std::uint32_t itemState, std::vector<std::uint32_t>& pixels) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(info.bmiHeader), client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        const cpp::windows::BitmapHandle bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        const HDC dc = CreateCompatibleDC(nullptr);
        const HGDIOBJ previous = SelectObject(dc, bitmap.get());
        DRAWITEMSTRUCT item{ODT_BUTTON, IDC_CLOSE_NOTICE, 0, ODA_DRAWENTIRE, itemState, button, dc, client, 0};
        SendMessageW(notice, WM_DRAWITEM, IDC_CLOSE_NOTICE, reinterpret_cast<LPARAM>(&item));
        GdiFlush();
        const auto* first = static_cast<const std::uint32_t*>(bits);
        pixels.assign(first, first + client.right * client.bottom);
        SelectObject(dc, previous);
        DeleteDC(dc);
    };
    std::vector<std::uint32_t> plain, asked;
    draw(0, plain);
    draw(state, asked);
    const COLORREF text = GetSysColor(COLOR_BTNTEXT);
    const std::uint32_t ink = (GetRValue(text) << 16) | (GetGValue(text) << 8) | GetBValue(text);
    Drawn drawn;
    for (std::size_t i = 0; i < asked.size(); ++i) {
        drawn.ink += (asked[i] & 0xFFFFFF) == ink;
        drawn.differsAtFocus += asked[i] != plain[i];
    }
    return drawn;
}

std::int64_t crossPixels(HWND notice, const ui::Dpi& dpi) {
    RECT face;
    GetClientRect(GetDlgItem(notice, IDC_CLOSE_NOTICE), &face);
    InflateRect(&face, -ui::systemMetric(SM_CXEDGE, dpi), -ui::systemMetric(SM_CYEDGE, dpi));
    std::int64_t count = 0;
    for (const ui::Rect& run : ui::closeCrossRuns(ui::toRect(face), dpi))
        count += run.width();
    return count;
}

TEST_F(UpdateWindowTest, FollowsAChangeOfDpiAndDrawsItsCrossForIt) {
    ui::UpdateWindow notice(fonts, "http://127.0.0.1/");
    notice.create(parent.get());
    const HWND window = notice.window();
    const ui::Dpi start = ui::dpiOf(window);
    const std::map<int, RECT> before = places(window);
    // The cross of its DPI, and nothing else in the text colour (the edge
    // is drawn in others); the focus changes pixels only when cues show.
    EXPECT_EQ(drawClose(window, 0).ink, crossPixels(window, start));
    EXPECT_GT(drawClose(window, ODS_FOCUS).differsAtFocus, 0);
    EXPECT_EQ(drawClose(window, ODS_FOCUS | ODS_NOFOCUSRECT).differsAtFocus, 0);

    ui::Dpi from = start;
    for (const int value : {120, 144, 192, 96}) {
        SCOPED_TRACE(value);
        const ui::Dpi to{value};
        notice.rescale(from, to);
        from = to;
        // Every rectangle as it is at the new DPI; each step rounds, so
        // a pixel or two off the straight conversion from the first.
        const std::map<int, RECT> after = places(window);
        for (const auto& [id, was] : before) {
            SCOPED_TRACE(id);
            EXPECT_NEAR(after.at(id).left, start.convert(was.left, to), 2);
            EXPECT_NEAR(after.at(id).top, start.convert(was.top, to), 2);
            EXPECT_NEAR(after.at(id).right, start.convert(was.right, to), 2);
            EXPECT_NEAR(after.at(id).bottom, start.convert(was.bottom, to), 2);
        }
        EXPECT_EQ(reinterpret_cast<HFONT>(SendDlgItemMessageW(window, IDC_UPDATE_LINK, WM_GETFONT, 0, 0)),
                  fonts.byName("ui", to)->handle());
        const auto icon = reinterpret_cast<HICON>(SendDlgItemMessageW(window, IDC_UPDATE_ICON, STM_GETICON, 0, 0));
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour{};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(colour), &colour);
        EXPECT_EQ(colour.bmWidth, ui::systemMetric(SM_CXICON, to));
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        EXPECT_EQ(drawClose(window, 0).ink, crossPixels(window, to));
    }
    // Back where it started, the notice is as it was.
    const std::map<int, RECT> back = places(window);
    for (const auto& [id, was] : before) {
        SCOPED_TRACE(id);
        EXPECT_NEAR(back.at(id).left, was.left, 1);
        EXPECT_NEAR(back.at(id).right, was.right, 1);
        EXPECT_NEAR(back.at(id).bottom, was.bottom, 1);
    }
}

} // namespace
