#include "ui/win32/dialog.h"

#include "cpp/win32/windows_exception.h"
#include "ui/win32/failure_report.h"

namespace ui {

namespace {

// Messages whose result is the dialog procedure's return value itself
// rather than DWLP_MSGRESULT.
bool returnsDirectly(UINT message) {
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

} // namespace

Dialog::~Dialog() {
    destroy();
}

void Dialog::destroy() {
    if (window_ && !modal_) {
        DestroyWindow(window_);
    }
}

void Dialog::centre() const {
    RECT window;
    GetWindowRect(window_, &window);
    RECT area;
    if (const HWND owner = GetWindow(window_, GW_OWNER); owner && IsWindowVisible(owner)) {
        GetWindowRect(owner, &area);
    } else {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
        area = monitor.rcWork;
    }
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    const int x = area.left + ((area.right - area.left) - width) / 2;
    const int y = area.top + ((area.bottom - area.top) - height) / 2;
    SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Dialog::show(int command) const {
    ShowWindow(window_, command);
}

void Dialog::createModeless(int templateId, HWND parent) {
    modal_ = false;
    const HWND window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), parent,
                                           dialogProc, reinterpret_cast<LPARAM>(this));
    if (!window) {
        throw cpp::windows::Exception();
    }
}

INT_PTR Dialog::runModal(int templateId, HWND owner) {
    modal_ = true;
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), owner,
                                           dialogProc, reinterpret_cast<LPARAM>(this));
    if (result == -1) {
        throw cpp::windows::Exception();
    }
    return result;
}

void Dialog::endModal(INT_PTR result) const {
    EndDialog(window_, result);
}

INT_PTR CALLBACK Dialog::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        dialog->window_ = window;
    }
    auto* dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!dialog) {
        // Messages before WM_INITDIALOG, and after WM_NCDESTROY.
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        dialog->window_ = nullptr;
        return FALSE;
    }
    return dialog->dispatch(message, wParam, lParam);
}

INT_PTR Dialog::dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    // A handler that failed has handled its message.
    bool handled = true;
    catchFailures([&] { handled = handle(message, wParam, lParam, result); },
                  [this](const cpp::String& text) { showFailure(window_, text); });
    if (!handled) {
        return FALSE;
    }
    if (returnsDirectly(message)) {
        return static_cast<INT_PTR>(result);
    }
    SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
    return TRUE;
}

bool Dialog::handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_INITDIALOG:
        result = onInit() ? TRUE : FALSE;
        return true;
    case WM_COMMAND:
        return onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY:
        return onNotify(*reinterpret_cast<const NMHDR*>(lParam), result);
    case WM_CLOSE:
        return onClose();
    default:
        return onMessage(message, wParam, lParam, result);
    }
}

} // namespace ui
