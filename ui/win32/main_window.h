#pragma once

#include "app/host_registry.h"
#include "app/host_view.h"
#include "app/outage_ledger.h"
#include "app/sample_store.h"
#include "app/settings.h"
#include "cpp/string.h"
#include "cpp/time.h"
#include "cpp/win32/unique_handle.h"
#include "ui/outage_notices.h"
#include "ui/tray_status.h"
#include "ui/win32/dialog.h"
#include "ui/win32/dialog_resizer.h"
#include "ui/win32/font_cache.h"
#include "ui/win32/host_list.h"
#include "ui/win32/key_filter.h"
#include "ui/win32/outage_window.h"
#include "ui/win32/ping_view.h"
#include "ui/win32/splitter.h"
#include "ui/win32/tray_icon.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace ui {

// The program's one top-level window (template 102): the host list on the
// left, the graph of the chosen host (or of all hosts) on the right, and
// above them Add Address, the scale box and Live; and the notification-area
// icon, which shows the hosts' state, tells of outages and brings the window
// back. Closing it saves the configuration and ends the message loop.
class MainWindow : public Dialog, public HostView {
public:
    // saveConfiguration writes hosts, active hosts, window place and scale;
    // it is called after every change of the host list and on close.
    MainWindow(HostRegistry& hosts, SampleStore& store, FontCache& fonts,
               std::function<void()> saveConfiguration);
    // May outlive the registry and the store: it asks them nothing once it
    // is being destroyed.
    ~MainWindow() override;

    // Modeless, from the program's module, not yet shown, sized for the DPI
    // of the screen it opens on. The program attaches it to the
    // registry as its view (HostRegistry::setView) and detaches it before
    // either goes. Throws cpp::windows::Exception when it cannot be made.
    void create();

    // Every row anew from the registry.
    void refreshHosts();
    // One host's row after a ping result: value in ms, or -1 for no reply.
    void updateHost(const cpp::String& name, std::int32_t value) override;

    // Gives the graph its scale and shows it in the scale box.
    void setScale(const cpp::Duration& scale);
    cpp::Duration scale() const { return scale_; }

    // Loads the host's data file, enables it, rebuilds the list and saves.
    void addHost(const cpp::String& name);

    PingView& pingView() { return pingView_; }

    // The program registers it with the registry, before any host is enabled.
    OutageNotices& outageNotices() { return notices_; }
    // Before create; the menu of the icon changes them, and saves.
    void setTrayChoices(const settings::TrayChoices& choices) { trayChoices_ = choices; }
    const settings::TrayChoices& trayChoices() const { return trayChoices_; }
    // What turning Start with Windows on or off does.
    void setStartWithWindows(std::function<void(bool)> apply) { startWithWindows_ = std::move(apply); }
    // Shows the window, restored if it was minimized, in front.
    void showFromTray();
    // "tarnlet 1.1 (note)" as the title, for what the user should know of
    // without a dialog (a feature that could not start).
    void setTitleNote(const cpp::String& note) const;
    // The ledger that the Outages button shows and that is told when the
    // machine sleeps and wakes; before create.
    void attachOutages(OutageLedger& ledger);
    // Opens the Outages window, or brings it to the front; nothing without
    // a ledger.
    void showOutages();

private:
    bool onInit() override;
    bool onCommand(int id, int code, HWND control) override;
    bool onNotify(const NMHDR& header, LRESULT& result) override;
    bool onClose() override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    void createStatusImages();
    // The window's icons at the sizes of its DPI.
    void setIcons() const;
    // WM_DPICHANGED: everything drawn or sized anew for to, in the
    // rectangle the system suggests.
    void onDpiChanged(const Dpi& to, const RECT& suggested);
    void fillScaleBox() const;
    void createPanes();

    void askForHost();
    void chooseScaleFromBox();
    // The graph follows the selected row, or all hosts without one.
    void showSelectedHost();
    // anchor in screen coordinates.
    void showContextMenu(int row, POINT anchor) const;
    // Shift+F10 or the menu key on the list: below the selected row.
    void showContextMenuFromKeyboard() const;
    // Keys that work wherever the focus is in the window.
    bool onShortcut(const MSG& message);
    // Delete and Space on the host list.
    void onListKey(WORD key);
    // The context commands work on the selected row's host.
    void runHostCommand(int command);
    void toggleEnabled(const cpp::String& name);
    void exportData(const cpp::String& name) const;
    void clearData(const cpp::String& name) const;
    void openDataLocation(const cpp::String& name) const;
    void removeHost(const cpp::String& name);
    void showError(const char* message) const;
    // WM_POWERBROADCAST: sleep ends the incident in progress; waking starts
    // every runner's ping.exe afresh.
    void powerChanged(WPARAM event);

    void onTrayEvent(WPARAM wParam, LPARAM lParam);
    void showTrayMenu(POINT anchor);
    void changeTrayChoice(int command);
    // The icon from trayHosts_.
    void showTrayStatus();

    HostRegistry& hosts_;
    SampleStore& store_;
    const std::function<void()> saveConfiguration_;

    DialogResizer resizer_;
    Dpi dpi_;
    // The controls' fonts once the DPI changed; before, the dialog's own.
    std::vector<cpp::windows::FontHandle> controlFonts_;
    // Outlives the list that shows it.
    cpp::windows::ImageListHandle statusImages_;
    Splitter splitter_;
    HostList hostList_;
    PingView pingView_;
    HWND scaleBox_ = nullptr;
    cpp::windows::MenuHandle hostMenu_;
    KeyFilter keys_;
    cpp::Duration scale_;
    // While set, selection changes in the list leave the graph alone.
    bool selectionFrozen_ = false;

    OutageNotices notices_;
    // The timer that polls the notices runs only while they wait for one.
    bool noticeTimerSet_ = false;
    TrayIcon tray_;
    cpp::windows::MenuHandle trayMenu_;
    settings::TrayChoices trayChoices_;
    std::function<void(bool)> startWithWindows_;
    // What the icon shows of each host, kept from the rows' updates.
    std::map<cpp::String, TrayHost> trayHosts_;
    OutageLedger* outageLedger_ = nullptr;
    std::unique_ptr<OutageWindow> outageWindow_;
};

} // namespace ui
