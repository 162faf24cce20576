#include "ui/win32/ping_view.h"

#include "app/ping_stats_fixture.h"
#include "cpp/exception.h"
#include "resources/resource.h"
#include "ui/graph_layout.h"
#include "ui/ping_colour.h"
#include "ui/win32/back_buffer.h"
#include "cpp/win32/unique_handle.h"
#include "ui/win32/window_fixture.h"
#include "ui/graph_printers.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

using cpp::DateTime;
using cpp::Duration;
using ui::Colour;

// A minute boundary an hour before now.
DateTime wholeMinuteAgo() {
    const std::uint64_t seconds = DateTime().sinceEpoch().count() / 1000000u;
    return DateTime(Duration::seconds(seconds / 60 * 60 - 3600));
}

class PingViewTest : public ui::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (IsSkipped())
            return;
        LOGFONTW description{};
        description.lfHeight = 14;
        std::wcscpy(description.lfFaceName, L"Tahoma");
        fonts.create("ui", description);
        parent.reset(CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 640, 400, nullptr,
                                     nullptr, nullptr, nullptr));
        ASSERT_TRUE(parent);
        view.create(parent.get());
        ASSERT_NE(view.window(), nullptr);
        MoveWindow(view.window(), 0, 0, 640, 400, TRUE);
        GetClientRect(view.window(), &client);
        plot = ui::plotRect(ui::Rect{client.left, client.top, client.right, client.bottom});
    }

    // The client area as WM_PRINTCLIENT paints it.
    ui::BitmapSurface print() {
        ui::BitmapSurface surface(client.right, client.bottom);
        SendMessageW(view.window(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface.dc()), PRF_CLIENT);
        GdiFlush();
        return surface;
    }

    static Colour pixel(const ui::BitmapSurface& surface, std::int32_t x, std::int32_t y) {
        const std::uint32_t value = surface.pixels()[y * surface.width() + x];
        return Colour{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                      static_cast<std::uint8_t>(value)};
    }

    // The middle of a cell: column a from the right, row 1 at the bottom.
    ui::Point cellMiddle(std::int32_t fromRight, std::int32_t row) const {
        return ui::Point{plot.right - fromRight * ui::cellSize + 8, plot.bottom - row * ui::cellSize + 8};
    }

    SCROLLINFO scrollBar() const {
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_ALL;
        GetScrollInfo(view.window(), SB_HORZ, &info);
        return info;
    }

    SampleStore store{systemClock(), []() -> cpp::FilePath { throw cpp::IOException("no data directory"); }};
    ui::FontCache fonts;
    std::vector<Duration> applied;
    cpp::windows::WindowHandle parent;
    ui::PingView view{store, fonts, "http://127.0.0.1/", [this](const Duration& scale) {
                          applied.push_back(scale);
                          view.setScale(scale);
                      }};
    RECT client{};
    ui::Rect plot;
};

TEST_F(PingViewTest, PaintsBucketsOfAPastMinuteOnTheGreyBackground) {
    const DateTime end = wholeMinuteAgo();
    // History from two days back, so the hour-old view is never clamped.
    store.mergeStats("a", end - Duration::hours(48), statsRow(1, 5, 5, 5));
    store.mergeStats("a", end, statsRow(3, 10, 10, 10, 1, 1));
    store.mergeStats("a", end - Duration::minutes(2), statsRow(4, 30, 10, 100));
    view.setHost("a");
    view.setScale(Duration::minutes(1));
    view.scrollTo(end);

    const ui::BitmapSurface picture = print();
    EXPECT_EQ(pixel(picture, 2, 150), ui::colours::pastBackground);
    // One disconnection: a 4 x 4 red square in a 6 x 6 dark grey one.
    const ui::Point marker = cellMiddle(1, 1);
    EXPECT_EQ(pixel(picture, marker.x, marker.y), ui::colours::disconnect);
    EXPECT_EQ(pixel(picture, marker.x - 3, marker.y), ui::colours::outline);
    EXPECT_EQ(pixel(picture, marker.x - 4, marker.y), ui::colours::pastBackground);
    // The average of the bucket two minutes earlier, opaque in its row.
    const std::int32_t rows = ui::pingRows(plot);
    std::int32_t row = 2;
    while (ui::rowRange(row, rows).hi < 30)
        ++row;
    const ui::Point average = cellMiddle(3, row);
    EXPECT_EQ(pixel(picture, average.x, average.y), ui::pingColour(30));
    // An empty bucket between them: the small dark square of no replies.
    const ui::Point empty = cellMiddle(2, 2);
    EXPECT_EQ(pixel(picture, empty.x, empty.y), ui::colours::outline);
}

TEST_F(PingViewTest, ScrollBarMovesTheViewAndBottomGoesLive) {
    store.mergeStats("a", DateTime() - Duration::hours(48), statsRow(1, 5, 5, 5));
    view.setScale(Duration::minutes(1));
    const SCROLLINFO live = scrollBar();
    EXPECT_EQ(live.nPage, static_cast<UINT>(ui::pageColumns(plot)));
    EXPECT_EQ(live.nPos, live.nMax - static_cast<int>(live.nPage) + 1);
    EXPECT_EQ(pixel(print(), 2, 150), ui::colours::liveBackground);

    SendMessageW(view.window(), WM_HSCROLL, MAKEWPARAM(SB_PAGELEFT, 0), 0);
    EXPECT_EQ(scrollBar().nPos, live.nPos - static_cast<int>(live.nPage));
    EXPECT_EQ(pixel(print(), 2, 150), ui::colours::pastBackground);
    // End scroll does nothing.
    SendMessageW(view.window(), WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
    EXPECT_EQ(scrollBar().nPos, live.nPos - static_cast<int>(live.nPage));

    // The present, even where a minute has passed meanwhile.
    SendMessageW(view.window(), WM_HSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
    const SCROLLINFO bottom = scrollBar();
    EXPECT_EQ(bottom.nPos, bottom.nMax - static_cast<int>(bottom.nPage) + 1);
    EXPECT_EQ(pixel(print(), 2, 150), ui::colours::liveBackground);
}

TEST_F(PingViewTest, WheelAppliesTheNextScaleThroughTheMainWindow) {
    POINT inside{plot.right - 8, plot.bottom - 8};
    ClientToScreen(view.window(), &inside);
    // Toward the user: the next larger scale.
    SendMessageW(view.window(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)),
                 MAKELPARAM(inside.x, inside.y));
    EXPECT_EQ(applied, (std::vector<Duration>{Duration::seconds(5)}));
    SendMessageW(view.window(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(inside.x, inside.y));
    // At the smallest scale a turn away from the user changes nothing.
    SendMessageW(view.window(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(inside.x, inside.y));
    EXPECT_EQ(applied, (std::vector<Duration>{Duration::seconds(5), Duration::seconds(1)}));
}

TEST_F(PingViewTest, KeysScrollZoomAndGoLiveAsTheBarAndTheWheelDo) {
    store.mergeStats("a", DateTime() - Duration::hours(48), statsRow(1, 5, 5, 5));
    view.setScale(Duration::minutes(1));
    const auto key = [this](WPARAM code) { SendMessageW(view.window(), WM_KEYDOWN, code, 0); };
    // The arrows are the view's, not the dialog's.
    EXPECT_NE(SendMessageW(view.window(), WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS, 0);
    const SCROLLINFO live = scrollBar();
    const int livePosition = live.nPos;
    // Where the bar's own oldest-page request goes.
    SendMessageW(view.window(), WM_HSCROLL, MAKEWPARAM(SB_TOP, 0), 0);
    const int oldest = scrollBar().nPos;
    SendMessageW(view.window(), WM_HSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
    ASSERT_LT(oldest, livePosition - static_cast<int>(live.nPage));

    const struct {
        WPARAM key;
        int position;
    } moves[] = {
        {VK_LEFT, livePosition - 1},
        {VK_PRIOR, livePosition - 1 - static_cast<int>(live.nPage)},
        {VK_NEXT, livePosition - 1},
        {VK_RIGHT, livePosition},
        {VK_HOME, oldest},
        {VK_END, livePosition},
    };
    for (const auto& move : moves) {
        key(move.key);
        EXPECT_EQ(scrollBar().nPos, move.position) << "key " << move.key;
    }
    key(VK_HOME);
    EXPECT_EQ(pixel(print(), 2, 150), ui::colours::pastBackground);
    key(VK_END);
    EXPECT_EQ(pixel(print(), 2, 150), ui::colours::liveBackground);

    // Minus for the next larger scale, plus for the smaller, by either key.
    for (const WPARAM code : {VK_SUBTRACT, VK_OEM_MINUS, VK_ADD, VK_OEM_PLUS})
        key(code);
    EXPECT_EQ(applied, (std::vector<Duration>{Duration::minutes(2), Duration::minutes(5), Duration::minutes(2),
                                              Duration::minutes(1)}));
    // Other keys do nothing.
    key('A');
    EXPECT_EQ(applied.size(), 4u);
}

TEST_F(PingViewTest, TheFocusRectangleShowsOnlyWithTheFocusAndKeyboardCues) {
    ShowWindow(parent.get(), SW_SHOWNA);
    const auto corner = [this] { return pixel(print(), 1, 60); };
    const Colour without = corner();
    SetFocus(view.window());
    // Cues shown, as after a key press.
    SendMessageW(view.window(), WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    if (GetFocus() != view.window())
        GTEST_SKIP() << "the window did not get the focus";
    EXPECT_NE(corner(), without);
    SendMessageW(view.window(), WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    EXPECT_EQ(corner(), without);
}

TEST_F(PingViewTest, UpdateNoticeStartsHiddenInTheTopRightCorner) {
    const HWND notice = view.updateNotice().window();
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(GetParent(notice), view.window());
    EXPECT_FALSE(IsWindowVisible(notice));
    RECT bounds;
    GetWindowRect(notice, &bounds);
    MapWindowPoints(nullptr, view.window(), reinterpret_cast<POINT*>(&bounds), 2);
    EXPECT_EQ(bounds.right, client.right - 2);
    EXPECT_EQ(bounds.top, 2);
}

// The view's hover box: the one tooltip window of the test's thread.
HWND findTooltip() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) -> BOOL {
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (std::wcscmp(name, TOOLTIPS_CLASSW) != 0)
                return TRUE;
            *reinterpret_cast<HWND*>(result) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

TEST_F(PingViewTest, HoverBoxShowsTheBucketUnderTheCursorInThePlotOnly) {
    const DateTime end = wholeMinuteAgo();
    store.mergeStats("a", end - Duration::hours(48), statsRow(1, 5, 5, 5));
    store.mergeStats("a", end, statsRow(3, 10, 9, 12, 1, 1));
    view.setHost("a");
    view.setScale(Duration::minutes(1));
    view.scrollTo(end);
    ShowWindow(parent.get(), SW_SHOW);
    SetForegroundWindow(parent.get());
    const HWND tooltip = findTooltip();
    ASSERT_NE(tooltip, nullptr);
    const auto moveTo = [&](std::int32_t x, std::int32_t y) {
        POINT cursor{x, y};
        ClientToScreen(view.window(), &cursor);
        SetCursorPos(cursor.x, cursor.y);
        SendMessageW(view.window(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    };

    // Over the rightmost bucket.
    moveTo(plot.right - 8, plot.bottom - 8);
    ASSERT_EQ(GetForegroundWindow(), parent.get());
    EXPECT_TRUE(IsWindowVisible(tooltip));
    wchar_t text[256] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = parent.get();
    tool.uId = reinterpret_cast<UINT_PTR>(view.window());
    tool.lpszText = text;
    SendMessageW(tooltip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(cpp::String(std::wstring(text)), cpp::String("%\n\nsamples: 3\nping: 10ms (9 - 12)\n0 drop(s), 1 disconnect(s)",
                                                           cpp::Date(end).toString()));

    // Outside the plot it goes, and left of the oldest column, where there
    // is no bucket; the mouse leaving the view hides it too.
    moveTo(plot.left - 4, plot.top + 20);
    EXPECT_FALSE(IsWindowVisible(tooltip));
    moveTo(plot.right - 8, plot.bottom - 8);
    EXPECT_TRUE(IsWindowVisible(tooltip));
    const std::int32_t oldest = plot.right - ui::pageColumns(plot) * ui::cellSize;
    ASSERT_GT(oldest, plot.left);
    moveTo(oldest - 1, plot.top + 20);
    EXPECT_FALSE(IsWindowVisible(tooltip));
    moveTo(plot.right - 8, plot.bottom - 8);
    EXPECT_TRUE(IsWindowVisible(tooltip));
    SendMessageW(view.window(), WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(tooltip));
}

// Hidden, as in the notification area, the graph's timer stops so that the
// window thread can sleep; shown again, the first paint brings the graph up
// to date and starts the timer again.
TEST_F(PingViewTest, TheRefreshTimerStopsWhileHiddenAndThePaintOnShowingCatchesUp) {
    // The view's own refresh timer; KillTimer tells whether it ran.
    constexpr UINT_PTR refreshTimer = 1;
    const DateTime end = wholeMinuteAgo();
    store.mergeStats("a", end - Duration::hours(48), statsRow(1, 5, 5, 5));
    view.setHost("a");
    view.setScale(Duration::minutes(1));
    view.scrollTo(end);
    ASSERT_FALSE(IsWindowVisible(parent.get()));
    SendMessageW(view.window(), WM_TIMER, refreshTimer, 0);
    EXPECT_FALSE(KillTimer(view.window(), refreshTimer)) << "the timer ran on while hidden";

    store.mergeStats("a", end, statsRow(3, 10, 10, 10, 1, 1));
    ShowWindow(parent.get(), SW_SHOW);
    RedrawWindow(parent.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    const ui::Point marker = cellMiddle(1, 1);
    EXPECT_EQ(pixel(print(), marker.x, marker.y), ui::colours::disconnect);
    EXPECT_TRUE(KillTimer(view.window(), refreshTimer)) << "the timer did not start again";
}

} // namespace
