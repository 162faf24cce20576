#pragma once

#include "cpp/win32/unique_handle.h"
#include "ui/outage_notices.h"
#include "ui/tray_status.h"

#include <windows.h>
#include <shellapi.h>

#include <array>
#include <functional>
#include <optional>

namespace ui {

// The program's icon in the notification area: the status image of the
// hosts, a tip, and notifications. Its events come to the owner window as
// callbackMessage, in the form of version 4: the event in the low word of
// lParam, the anchor point in wParam.
class TrayIcon {
public:
    static constexpr UINT callbackMessage = WM_APP + 1;
    // How it reaches the shell: Shell_NotifyIconW, or a test's recorder.
    using Shell = std::function<bool(DWORD message, const NOTIFYICONDATAW& data)>;

    explicit TrayIcon(Shell shell = nullptr);
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // The message Explorer broadcasts when it starts again with a new
    // notification area, which then needs the icon added anew.
    static UINT taskbarCreatedMessage();

    // Adds the icon for owner with what it showed last, or with the hollow
    // image; again after Explorer restarted, or when the owner's DPI changed.
    void add(HWND owner);
    // Changes image and tip, only when they differ from what is shown.
    void show(const TrayStatus& status);
    // Shows the notification at once.
    void notify(const Notice& notice);
    void remove();

private:
    NOTIFYICONDATAW data(UINT flags) const;
    // Drawn at the small-icon size of the owner's DPI the first time it is
    // shown at that size.
    HICON icon(StatusImage image);
    bool call(DWORD message, const NOTIFYICONDATAW& data) const;

    const Shell shell_;
    HWND owner_ = nullptr;
    bool added_ = false;
    TrayStatus status_{statusDisabled, TARNLET_NAME};
    std::array<cpp::windows::IconHandle, statusLost + 1> icons_;
    int iconSize_ = 0;
};

} // namespace ui
