#include "ui/win32/tray_icon.h"

#include "cpp/logger.h"
#include "ui/hover_text.h"
#include "ui/win32/window_dpi.h"

#include <algorithm>
#include <string>

namespace ui {

namespace {

// The icon's one id under its owner window.
constexpr UINT iconId = 1;

// text cut to fit the field with its terminator, never inside a pair.
template <std::size_t size>
void copyText(wchar_t (&field)[size], const cpp::String& text) {
    const std::wstring wide = text.toWide();
    const std::u16string fitted = fitToBuffer(std::u16string(wide.begin(), wide.end()), size);
    std::copy(fitted.begin(), fitted.end(), field);
    field[fitted.size()] = L'\0';
}

} // namespace

TrayIcon::TrayIcon(Shell shell) : shell_(std::move(shell)) {}

TrayIcon::~TrayIcon() {
    remove();
}

UINT TrayIcon::taskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

bool TrayIcon::call(DWORD message, const NOTIFYICONDATAW& data) const {
    if (shell_)
        return shell_(message, data);
    return Shell_NotifyIconW(message, const_cast<NOTIFYICONDATAW*>(&data)) != FALSE;
}

NOTIFYICONDATAW TrayIcon::data(UINT flags) const {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = owner_;
    data.uID = iconId;
    data.uFlags = flags;
    return data;
}

HICON TrayIcon::icon(StatusImage image) {
    const int size = systemMetric(SM_CXSMICON, dpiOf(owner_));
    if (size != iconSize_) {
        for (cpp::windows::IconHandle& each : icons_)
            each.reset();
        iconSize_ = size;
    }
    cpp::windows::IconHandle& made = icons_.at(static_cast<std::size_t>(image));
    if (!made) {
        const cpp::windows::BitmapHandle colour(statusBitmap(image, size));
        // The colour bitmap's alpha says what shows; the mask only has to be there.
        const cpp::windows::BitmapHandle mask(CreateBitmap(size, size, 1, 1, nullptr));
        ICONINFO info{TRUE, 0, 0, mask.get(), colour.get()};
        made.reset(CreateIconIndirect(&info));
    }
    return made.get();
}

void TrayIcon::add(HWND owner) {
    owner_ = owner;
    NOTIFYICONDATAW added = data(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP);
    added.uCallbackMessage = callbackMessage;
    added.hIcon = icon(status_.image);
    copyText(added.szTip, status_.tip);
    // Explorer may have kept the icon of the run before it restarted.
    call(NIM_DELETE, data(0));
    added_ = call(NIM_ADD, added);
    if (added_) {
        NOTIFYICONDATAW version = data(0);
        version.uVersion = NOTIFYICON_VERSION_4;
        call(NIM_SETVERSION, version);
    }
}

void TrayIcon::show(const TrayStatus& status) {
    if (status == status_)
        return;
    status_ = status;
    if (!added_)
        return;
    NOTIFYICONDATAW changed = data(NIF_ICON | NIF_TIP | NIF_SHOWTIP);
    changed.hIcon = icon(status.image);
    copyText(changed.szTip, status.tip);
    call(NIM_MODIFY, changed);
}

void TrayIcon::notify(const Notice& notice) {
    if (!added_)
        return;
    // On one log line, where a user (and a test) can read what was shown.
    cpp::String oneLine = notice.text;
    std::replace(oneLine.begin(), oneLine.end(), '\n', ';');
    cpp::log(6, "", cpp::String("Notification: %: %", notice.title, oneLine));
    NOTIFYICONDATAW info = data(NIF_INFO);
    copyText(info.szInfoTitle, notice.title);
    copyText(info.szInfo, notice.text);
    info.dwInfoFlags = NIIF_INFO;
    call(NIM_MODIFY, info);
}

void TrayIcon::remove() {
    if (added_)
        call(NIM_DELETE, data(0));
    added_ = false;
}

} // namespace ui
