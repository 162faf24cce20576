#include "ui/win32/update_window.h"

#include "ui/close_cross.h"
#include "ui/win32/rect.h"
#include "ui/win32/window_dpi.h"

#include "resources/resource.h"

#include <commctrl.h>
#include <shellapi.h>

namespace ui {

namespace {

Rect converted(const Rect& rect, const Dpi& from, const Dpi& to) {
    // Each edge on its own, so that neighbours keep touching where they did.
    return {from.convert(rect.left, to), from.convert(rect.top, to), from.convert(rect.right, to),
            from.convert(rect.bottom, to)};
}

} // namespace

UpdateWindow::UpdateWindow(FontCache& fonts, cpp::String homePage)
    : fonts_(fonts), homePage_(std::move(homePage)) {}

UpdateWindow::~UpdateWindow() = default;

void UpdateWindow::create(HWND parent) {
    createModeless(IDD_UPDATE, parent);
}

void UpdateWindow::show() {
    Dialog::show(SW_SHOWNA);
}

bool UpdateWindow::onInit() {
    // It follows the main window's DPI itself, as the rest of that window does.
    keepDialogScalingToItself(window());
    dpi_ = dpiOf(window());
    applyDpi();
    return true;
}

void UpdateWindow::applyDpi() const {
    const HWND window = this->window();
    // A shared icon of the large-icon size at the notice's DPI: the system owns it.
    const HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TARNLET),
                                                     IMAGE_ICON, systemMetric(SM_CXICON, dpi_),
                                                     systemMetric(SM_CYICON, dpi_), LR_SHARED));
    SendDlgItemMessageW(window, IDC_UPDATE_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    // "ui-header" is never created: the heading keeps the system font.
    SendDlgItemMessageW(window, IDC_UPDATE_TEXT, WM_SETFONT,
                        reinterpret_cast<WPARAM>(fonts_.byName("ui-header", dpi_)->handle()), TRUE);
    SendDlgItemMessageW(window, IDC_UPDATE_LINK, WM_SETFONT,
                        reinterpret_cast<WPARAM>(fonts_.byName("ui", dpi_)->handle()), TRUE);
}

void UpdateWindow::rescale(const Dpi& from, const Dpi& to) {
    const HWND window = this->window();
    if (!window || from == to)
        return;
    dpi_ = to;
    for (HWND control = GetWindow(window, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        RECT bounds;
        GetWindowRect(control, &bounds);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&bounds), 2);
        const Rect place = converted(toRect(bounds), from, to);
        SetWindowPos(control, nullptr, place.left, place.top, place.width(), place.height(),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT outer;
    GetWindowRect(window, &outer);
    const Rect size = converted(Rect{0, 0, outer.right - outer.left, outer.bottom - outer.top}, from, to);
    SetWindowPos(window, nullptr, 0, 0, size.width(), size.height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    applyDpi();
    InvalidateRect(window, nullptr, TRUE);
}

bool UpdateWindow::onCommand(int id, int code, HWND /*control*/) {
    if (id != IDC_CLOSE_NOTICE || code != BN_CLICKED) {
        return false;
    }
    // Hidden, not destroyed: the update check may show it again.
    ShowWindow(window(), SW_HIDE);
    return true;
}

bool UpdateWindow::onNotify(const NMHDR& header, LRESULT& /*result*/) {
    if (header.idFrom != IDC_UPDATE_LINK || (header.code != NM_CLICK && header.code != NM_RETURN)) {
        return false;
    }
    ShellExecuteW(nullptr, L"open", homePage_.toWide().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return true;
}

bool UpdateWindow::onMessage(UINT message, WPARAM /*wParam*/, LPARAM lParam, LRESULT& result) {
    if (message != WM_DRAWITEM)
        return false;
    const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (item.CtlID != IDC_CLOSE_NOTICE)
        return false;
    drawClose(item);
    result = TRUE;
    return true;
}

void UpdateWindow::drawClose(const DRAWITEMSTRUCT& item) const {
    const bool pushed = item.itemState & ODS_SELECTED;
    RECT frame = item.rcItem;
    DrawFrameControl(item.hDC, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
    // The face inside the button's edge; pushed, its content moves a pixel
    // down and right, as on every push button.
    RECT face = item.rcItem;
    InflateRect(&face, -systemMetric(SM_CXEDGE, dpi_), -systemMetric(SM_CYEDGE, dpi_));
    if (pushed)
        OffsetRect(&face, 1, 1);
    const HBRUSH ink = GetSysColorBrush(COLOR_BTNTEXT);
    for (const Rect& run : closeCrossRuns(toRect(face), dpi_)) {
        const RECT pixels = toSystemRect(run);
        FillRect(item.hDC, &pixels, ink);
    }
    // Hidden until the keyboard is used, as the system hides it.
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        RECT focus = item.rcItem;
        InflateRect(&focus, -(systemMetric(SM_CXEDGE, dpi_) + 1), -(systemMetric(SM_CYEDGE, dpi_) + 1));
        // DrawFocusRect inverts: the text colour decides what it inverts to.
        SetTextColor(item.hDC, RGB(0, 0, 0));
        SetBkColor(item.hDC, RGB(255, 255, 255));
        DrawFocusRect(item.hDC, &focus);
    }
}

} // namespace ui
