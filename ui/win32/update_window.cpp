#include "ui/win32/update_window.h"

#include "ui/win32/window_dpi.h"

#include "resources/resource.h"

#include <commctrl.h>
#include <shellapi.h>

namespace ui {

UpdateWindow::UpdateWindow(FontCache& fonts, ImageCache& images, cpp::String homePage)
    : fonts_(fonts), images_(images), homePage_(std::move(homePage)) {}

UpdateWindow::~UpdateWindow() = default;

void UpdateWindow::create(HWND parent) {
    createModeless(IDD_UPDATE, parent);
}

void UpdateWindow::show() {
    Dialog::show(SW_SHOWNA);
}

bool UpdateWindow::onInit() {
    const HWND window = this->window();
    SendDlgItemMessageW(window, IDC_CLOSE_NOTICE, BM_SETIMAGE, IMAGE_BITMAP,
                        reinterpret_cast<LPARAM>(images_.byId(IDB_CLOSE)));
    // A shared icon of the large-icon size at the notice's DPI: the system owns it.
    const Dpi dpi = dpiOf(window);
    const HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TARNLET),
                                                     IMAGE_ICON, systemMetric(SM_CXICON, dpi),
                                                     systemMetric(SM_CYICON, dpi), LR_SHARED));
    SendDlgItemMessageW(window, IDC_UPDATE_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    // "ui-header" is never created: the heading keeps the system font.
    SendDlgItemMessageW(window, IDC_UPDATE_TEXT, WM_SETFONT,
                        reinterpret_cast<WPARAM>(fonts_.byName("ui-header", dpi)->handle()), FALSE);
    SendDlgItemMessageW(window, IDC_UPDATE_LINK, WM_SETFONT,
                        reinterpret_cast<WPARAM>(fonts_.byName("ui", dpi)->handle()), FALSE);
    return true;
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

} // namespace ui
