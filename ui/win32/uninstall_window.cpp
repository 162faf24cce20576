#include "ui/win32/uninstall_window.h"

#include "ui/win32/window_dpi.h"

#include "resources/resource.h"

namespace ui {

UninstallWindow::UninstallWindow(FontCache& fonts) : fonts_(fonts) {}

UninstallWindow::~UninstallWindow() {
    destroy();
}

void UninstallWindow::create() {
    createModeless(IDD_UNINSTALL, nullptr);
}

void UninstallWindow::show() {
    Dialog::show(SW_SHOWNORMAL);
}

void UninstallWindow::setStatus(const cpp::String& text) {
    SetDlgItemTextW(window(), IDC_UNINSTALL_STATUS, text.toWide().c_str());
}

void UninstallWindow::finished() {
    EnableWindow(GetDlgItem(window(), IDC_UNINSTALL_CLOSE), TRUE);
}

bool UninstallWindow::onInit() {
    icon_.reset(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TARNLET), IMAGE_ICON, 128, 128, 0)));
    SendDlgItemMessageW(window(), IDC_STATIC, STM_SETICON, reinterpret_cast<WPARAM>(icon_.get()), 0);
    SendDlgItemMessageW(window(), IDC_UNINSTALL_STATUS, WM_SETFONT,
                        reinterpret_cast<WPARAM>(fonts_.byName("ui", dpiOf(window()))->handle()), FALSE);
    return true;
}

bool UninstallWindow::onCommand(int id, int /*code*/, HWND /*control*/) {
    if (id == IDC_UNINSTALL_CLOSE) {
        // Enter reaches here through the default button even while it is
        // disabled on some systems: only an enabled "Close" ends the run.
        if (IsWindowEnabled(GetDlgItem(window(), IDC_UNINSTALL_CLOSE))) {
            destroy();
            PostQuitMessage(0);
        }
        return true;
    }
    // Escape (IDCANCEL) must not close it either.
    return id == IDCANCEL;
}

bool UninstallWindow::onClose() {
    return true;
}

} // namespace ui
