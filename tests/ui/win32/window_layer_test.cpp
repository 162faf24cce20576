#include "ui/win32/dialog.h"
#include "ui/win32/dialog_resizer.h"
#include "ui/win32/splitter.h"

#include "resources/resource.h"
#include "cpp/win32/unique_handle.h"
#include "ui/win32/window_fixture.h"

#include <gtest/gtest.h>

namespace {

using WindowLayerTest = ui::test::WindowTest;

ui::Rect rectIn(HWND window, HWND parent) {
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right, rect.bottom};
}

// The main window's template with the resize rules of the scale box and
// the Live button, and a splitter below the buttons.
class ResizedDialog : public ui::Dialog {
public:
    void create() { createModeless(IDD_MAIN, nullptr); }

    ui::Splitter splitter;
    cpp::windows::WindowHandle left;
    cpp::windows::WindowHandle right;

private:
    bool onInit() override {
        RECT client;
        GetClientRect(window(), &client);
        splitter.create(window(), {10, 50, client.right - 10, client.bottom - 10}, IDC_SPLITTER);
        left.reset(CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1, splitter.window(), nullptr,
                                   nullptr, nullptr));
        right.reset(CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1, splitter.window(), nullptr,
                                    nullptr, nullptr));
        splitter.setPanes(left.get(), right.get());
        splitter.setBarPosition(160);
        resizer_.init(window(), {{IDC_SCALE, ui::moveX}, {IDC_LIVE, ui::moveX}, {IDC_SPLITTER, ui::growX | ui::growY}});
        return true;
    }
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        return resizer_.handle(message, wParam, lParam, result);
    }

    ui::DialogResizer resizer_;
};

TEST_F(WindowLayerTest, TheSplitterKeepsItsBarAt160PixelsAsItGrows) {
    ResizedDialog dialog;
    dialog.create();
    const HWND splitter = dialog.splitter.window();
    const int bar = GetSystemMetrics(SM_CXSIZEFRAME);
    RECT client;
    GetClientRect(splitter, &client);
    EXPECT_EQ(rectIn(dialog.left.get(), splitter), (ui::Rect{0, 0, 160, client.bottom}));
    EXPECT_EQ(rectIn(dialog.right.get(), splitter), (ui::Rect{160 + bar, 0, client.right, client.bottom}));

    RECT window;
    GetWindowRect(dialog.window(), &window);
    SetWindowPos(dialog.window(), nullptr, 0, 0, window.right - window.left + 100, window.bottom - window.top + 40,
                 SWP_NOMOVE | SWP_NOZORDER);
    RECT grown;
    GetClientRect(splitter, &grown);
    EXPECT_EQ(grown.right, client.right + 100);
    EXPECT_EQ(grown.bottom, client.bottom + 40);
    EXPECT_EQ(rectIn(dialog.left.get(), splitter), (ui::Rect{0, 0, 160, grown.bottom}));
    EXPECT_EQ(rectIn(dialog.right.get(), splitter).right, grown.right);
}

TEST_F(WindowLayerTest, ControlsFollowTheirRulesTheFirstSizeIsTheLeastAndTheGripSitsInTheCorner) {
    ResizedDialog dialog;
    dialog.create();
    const HWND window = dialog.window();
    const ui::Rect live = rectIn(GetDlgItem(window, IDC_LIVE), window);
    const ui::Rect add = rectIn(GetDlgItem(window, IDC_ADD_ADDRESS), window);
    RECT first;
    GetWindowRect(window, &first);

    MINMAXINFO limits{};
    SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, first.right - first.left);
    EXPECT_EQ(limits.ptMinTrackSize.y, first.bottom - first.top);

    SetWindowPos(window, nullptr, 0, 0, first.right - first.left + 70, first.bottom - first.top + 30,
                 SWP_NOMOVE | SWP_NOZORDER);
    const ui::Rect liveMoved = rectIn(GetDlgItem(window, IDC_LIVE), window);
    EXPECT_EQ(liveMoved.left, live.left + 70);
    EXPECT_EQ(liveMoved.top, live.top);
    EXPECT_EQ(liveMoved.width(), live.width());
    // Without a rule a control stays.
    EXPECT_EQ(rectIn(GetDlgItem(window, IDC_ADD_ADDRESS), window), add);

    RECT client;
    GetClientRect(window, &client);
    const HWND grip = ChildWindowFromPointEx(window, {client.right - 2, client.bottom - 2}, CWP_ALL);
    ASSERT_NE(grip, nullptr);
    EXPECT_TRUE(GetWindowLongW(grip, GWL_STYLE) & SBS_SIZEGRIP);
}

} // namespace
