#include "ui/win32/main_window.h"

#include "cpp/exception.h"
#include "cpp/logger.h"
#include "cpp/file_path.h"
#include "cpp/known_folder.h"
#include "cpp/process.h"
#include "cpp/win32/windows_exception.h"
#include "resources/resource.h"
#include "ui/data_location.h"
#include "ui/layout.h"
#include "ui/scale_choice.h"
#include "ui/win32/add_dialog.h"
#include "ui/win32/file_save_dialog.h"
#include "ui/win32/rect.h"
#include "ui/win32/window_dpi.h"

#include <string>

namespace ui {

namespace {

// Pixels (at 96 DPI) from the splitter's left edge to its bar.
constexpr int hostListWidth = 160;
// The longest scale text read back from the scale box.
constexpr int scaleTextLimit = 1024;
// Asks for due outage notices once a second.
constexpr UINT_PTR noticeTimer = 1;
// Opens the icon's menu, posted with its anchor, once the shell's
// notification that asked for it has returned.
constexpr UINT openTrayMenu = WM_APP + 2;
// Opens the host list's menu below its selected row, posted by the keys
// that ask for it.
constexpr UINT openHostMenu = WM_APP + 3;

Rect clientRectOf(HWND control, HWND dialog) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return toRect(rect);
}

} // namespace

MainWindow::MainWindow(HostRegistry& hosts, SampleStore& store, FontCache& fonts,
                       std::function<void()> saveConfiguration)
    : hosts_(hosts),
      store_(store),
      saveConfiguration_(std::move(saveConfiguration)),
      hostList_(hosts),
      pingView_(store, fonts, cpp::String(TARNLET_SITE "/"),
                [this](const cpp::Duration& scale) { setScale(scale); }),
      scale_(ScaleBuckets::firstScale()) {}

MainWindow::~MainWindow() {
    // The registry may be gone already: the rows going with the window must
    // not ask it for a host.
    selectionFrozen_ = true;
    // The windows go while every member they may notify still exists.
    destroy();
}

void MainWindow::create() {
    createModeless(IDD_MAIN, nullptr);
}

void MainWindow::setTitleNote(const cpp::String& note) const {
    SetWindowTextW(window(), cpp::String(TARNLET_NAME " % (%)", TARNLET_VERSION, note).toWide().c_str());
}

bool MainWindow::onInit() {
    const HWND window = this->window();
    SetWindowTextW(window, cpp::String(TARNLET_NAME " %", TARNLET_VERSION).toWide().c_str());
    const HMODULE module = GetModuleHandleW(nullptr);
    dpi_ = dpiOf(window);
    // It rescales its controls itself, those it made as well as the
    // template's, when the DPI changes.
    keepDialogScalingToItself(window);
    setIcons();
    createStatusImages();
    scaleBox_ = GetDlgItem(window, IDC_SCALE);
    fillScaleBox();
    createPanes();
    hostMenu_.reset(LoadMenuW(module, MAKEINTRESOURCEW(IDR_HOST_MENU)));
    trayMenu_.reset(LoadMenuW(module, MAKEINTRESOURCEW(IDR_TRAY_MENU)));
    tray_.add(window);
    keys_.install(window, [this](const MSG& message) { return onShortcut(message); });
    resizer_.init(window, {{IDC_SCALE, moveX}, {IDC_LIVE, moveX}, {IDC_SPLITTER, growX | growY}});
    setScale(scale_);
    refreshHosts();
    return true;
}

void MainWindow::setIcons() const {
    const HMODULE module = GetModuleHandleW(nullptr);
    // Shared icons: the system owns them. The icon file holds every size
    // from 16 to 128 pixels, so none is stretched.
    const auto icon = [this, module](int metricX, int metricY) {
        return reinterpret_cast<LPARAM>(LoadImageW(module, MAKEINTRESOURCEW(IDI_TARNLET), IMAGE_ICON,
                                                   systemMetric(metricX, dpi_), systemMetric(metricY, dpi_),
                                                   LR_SHARED));
    };
    SendMessageW(window(), WM_SETICON, ICON_BIG, icon(SM_CXICON, SM_CYICON));
    SendMessageW(window(), WM_SETICON, ICON_SMALL, icon(SM_CXSMICON, SM_CYSMICON));
}

void MainWindow::createStatusImages() {
    statusImages_.reset(statusImageList(dpi_));
}

void MainWindow::onDpiChanged(const Dpi& to, const RECT& suggested) {
    const Dpi from = dpi_;
    dpi_ = to;
    // Before the new size comes: its WM_SIZE lays the controls out from
    // these.
    resizer_.rescale(from, to);
    // The fonts made at the DPI before go only now that no control uses them.
    controlFonts_ = rescaleFonts(window(), from, to);
    setIcons();
    // The list shares its images: the old ones go once it has the new.
    cpp::windows::ImageListHandle previous = std::move(statusImages_);
    createStatusImages();
    hostList_.setDpi(statusImages_.get(), dpi_);
    splitter_.updateBarWidth();
    splitter_.setBarPosition(dpi_(hostListWidth));
    pingView_.rescale(from, to);
    SetWindowPos(window(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    pingView_.refresh();
    tray_.add(window());
}


void MainWindow::fillScaleBox() const {
    for (const cpp::String& text : scaleTexts()) {
        SendMessageW(scaleBox_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.toWide().c_str()));
    }
}

void MainWindow::createPanes() {
    const HWND window = this->window();
    RECT client;
    GetClientRect(window, &client);
    const Rect area = splitterArea(toRect(client),
                                   clientRectOf(GetDlgItem(window, IDC_ADD_ADDRESS), window), dpi_);
    splitter_.create(window, area, IDC_SPLITTER);
    hostList_.create(splitter_.window(), statusImages_.get(), dpi_);
    pingView_.create(splitter_.window());
    splitter_.setPanes(hostList_.window(), pingView_.window());
    splitter_.setBarPosition(dpi_(hostListWidth));
}

void MainWindow::refreshHosts() {
    // Rows going and coming are no choice of the user's: the graph keeps
    // its host.
    selectionFrozen_ = true;
    try {
        hostList_.rebuild();
    } catch (...) {
        selectionFrozen_ = false;
        throw;
    }
    selectionFrozen_ = false;
    trayHosts_.clear();
    for (const cpp::String& name : hosts_.names()) {
        const HostRecord record = hosts_.record(name);
        trayHosts_[name] = TrayHost{record.enabled(), record.last};
    }
    showTrayStatus();
}

void MainWindow::updateHost(const cpp::String& name, std::int32_t value) {
    // A result may still arrive after the window has closed.
    if (!window() || !hosts_.contains(name)) {
        return;
    }
    const bool active = hosts_.record(name).enabled();
    hostList_.update(name, active, value);
    trayHosts_[name] = TrayHost{active, value};
    showTrayStatus();
    // The notices heard of this result before it was posted here.
    if (!noticeTimerSet_ && notices_.waiting())
        noticeTimerSet_ = SetTimer(window(), noticeTimer, 1000, nullptr) != 0;
}

void MainWindow::showTrayStatus() {
    std::vector<TrayHost> states;
    states.reserve(trayHosts_.size());
    for (const auto& [name, state] : trayHosts_)
        states.push_back(state);
    tray_.show(trayStatus(states));
}

void MainWindow::showFromTray() {
    const HWND window = this->window();
    ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(window);
}

void MainWindow::onTrayEvent(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(lParam)) {
    // A click, or Enter or Space on the icon; the older form of a click too,
    // as some shells send only that.
    case NIN_SELECT:
    case NIN_KEYSELECT:
    case WM_LBUTTONUP:
        showFromTray();
        break;
    // A right click, Shift+F10 or the menu key, with the anchor in wParam.
    case WM_CONTEXTMENU:
        PostMessageW(window(), openTrayMenu, wParam, 0);
        break;
    default:
        break;
    }
}

void MainWindow::showTrayMenu(POINT anchor) {
    if (!trayMenu_)
        return;
    const HMENU menu = GetSubMenu(trayMenu_.get(), 0);
    const auto check = [menu](int id, bool on) { CheckMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED)); };
    check(ID_TRAY_NOTIFY, trayChoices_.notify);
    check(ID_TRAY_MINIMIZE, trayChoices_.minimizeToTray);
    check(ID_TRAY_AUTOSTART, trayChoices_.startWithWindows);
    // A menu of a thread that is not in the foreground does not close when
    // the user clicks elsewhere, and after a click on the icon the shell
    // has the foreground.
    SetForegroundWindow(window());
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, anchor.x, anchor.y, 0, window(), nullptr);
    // Lets the menu go at once when it was closed by a click elsewhere.
    PostMessageW(window(), WM_NULL, 0, 0);
}

void MainWindow::changeTrayChoice(int command) {
    switch (command) {
    case ID_TRAY_NOTIFY:
        trayChoices_.notify = !trayChoices_.notify;
        break;
    case ID_TRAY_MINIMIZE:
        trayChoices_.minimizeToTray = !trayChoices_.minimizeToTray;
        break;
    case ID_TRAY_AUTOSTART:
        trayChoices_.startWithWindows = !trayChoices_.startWithWindows;
        if (startWithWindows_)
            startWithWindows_(trayChoices_.startWithWindows);
        break;
    default:
        return;
    }
    saveConfiguration_();
}

void MainWindow::setScale(const cpp::Duration& scale) {
    scale_ = scale;
    pingView_.setScale(scale);
    const std::wstring text = scale.text().toWide();
    const LRESULT entry = SendMessageW(scaleBox_, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(text.c_str()));
    if (entry != CB_ERR) {
        SendMessageW(scaleBox_, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
    }
}

void MainWindow::addHost(const cpp::String& name) {
    store_.loadHost(name, hosts_.bus());
    hosts_.enable(name);
    refreshHosts();
    saveConfiguration_();
}

bool MainWindow::onClose() {
    // Saved while the window still has its place.
    saveConfiguration_();
    tray_.remove();
    destroy();
    PostQuitMessage(0);
    return true;
}

bool MainWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_POWERBROADCAST) {
        powerChanged(wParam);
        result = TRUE;
        return true;
    }
    if (message == TrayIcon::callbackMessage) {
        onTrayEvent(wParam, lParam);
        return true;
    }
    if (message == openTrayMenu) {
        showTrayMenu(POINT{static_cast<short>(LOWORD(wParam)), static_cast<short>(HIWORD(wParam))});
        return true;
    }
    if (message == TrayIcon::taskbarCreatedMessage()) {
        tray_.add(window());
        return true;
    }
    // Shift+F10 or the menu key on the list (-1 for no place); a right click
    // has shown the menu already through NM_RCLICK.
    if (message == openHostMenu) {
        showContextMenuFromKeyboard();
        return true;
    }
    if (message == WM_CONTEXTMENU && reinterpret_cast<HWND>(wParam) == hostList_.window()) {
        if (lParam == -1)
            showContextMenuFromKeyboard();
        return true;
    }
    if (message == WM_DPICHANGED) {
        onDpiChanged(Dpi{static_cast<std::int32_t>(HIWORD(wParam))}, *reinterpret_cast<const RECT*>(lParam));
        return true;
    }
    if (message == WM_TIMER && wParam == noticeTimer) {
        // Asked even while notifications are off, so that turning them on
        // does not bring back what happened meanwhile.
        const std::optional<Notice> notice = notices_.poll(hosts_.clock().now());
        if (notice && trayChoices_.notify)
            tray_.notify(*notice);
        // Nothing to wait for: the next result that may bring a notice sets
        // it again, and until then the window thread sleeps.
        if (!notices_.waiting()) {
            KillTimer(window(), noticeTimer);
            noticeTimerSet_ = false;
        }
        return true;
    }
    const bool handled = resizer_.handle(message, wParam, lParam, result);
    // Minimized into the notification area: no window and no taskbar button.
    if (message == WM_SIZE && wParam == SIZE_MINIMIZED && trayChoices_.minimizeToTray)
        ShowWindow(window(), SW_HIDE);
    return handled;
}

void MainWindow::attachOutages(OutageLedger& ledger) {
    outageLedger_ = &ledger;
    outageWindow_ = std::make_unique<OutageWindow>(ledger, store_);
}

void MainWindow::showOutages() {
    if (outageWindow_ && window())
        outageWindow_->open(window());
}

void MainWindow::powerChanged(WPARAM event) {
    switch (event) {
    case PBT_APMSUSPEND:
        if (outageLedger_)
            outageLedger_->suspend();
        break;
    case PBT_APMRESUMEAUTOMATIC:
    case PBT_APMRESUMESUSPEND:
        // The system sends both for one wake: the runners start once.
        if (outageLedger_)
            outageLedger_->resume([this] { hosts_.restartAll(); });
        else
            hosts_.restartAll();
        break;
    default:
        break;
    }
}

bool MainWindow::onCommand(int id, int code, HWND /*control*/) {
    switch (id) {
    case IDC_ADD_ADDRESS:
        askForHost();
        return true;
    case IDC_LIVE:
        pingView_.scrollTo(store_.clock().now());
        return true;
    case IDC_OUTAGES:
        showOutages();
        return true;
    case IDC_SCALE:
        if (code == CBN_SELCHANGE) {
            chooseScaleFromBox();
            return true;
        }
        return false;
    case ID_HOST_ENABLED:
    case ID_HOST_EXPORT:
    case ID_HOST_CLEAR:
    case ID_HOST_OPEN_LOCATION:
    case ID_HOST_REMOVE:
        runHostCommand(id);
        return true;
    case ID_TRAY_SHOW:
        showFromTray();
        return true;
    case ID_TRAY_OUTAGES:
        showOutages();
        return true;
    case ID_TRAY_NOTIFY:
    case ID_TRAY_MINIMIZE:
    case ID_TRAY_AUTOSTART:
        changeTrayChoice(id);
        return true;
    case ID_TRAY_EXIT:
        return onClose();
    default:
        return false;
    }
}

bool MainWindow::onNotify(const NMHDR& header, LRESULT& result) {
    if (header.idFrom != IDC_HOST_LIST) {
        return false;
    }
    switch (header.code) {
    case LVN_GETINFOTIPW:
        // The list owns the request; it is only written into.
        hostList_.fillInfoTip(*reinterpret_cast<NMLVGETINFOTIPW*>(const_cast<NMHDR*>(&header)));
        return true;
    case LVN_ITEMCHANGED: {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if (!selectionFrozen_ && (change.uChanged & LVIF_STATE) && ((change.uNewState ^ change.uOldState) & LVIS_SELECTED)) {
            showSelectedHost();
        }
        return true;
    }
    case NM_RCLICK: {
        POINT cursor;
        GetCursorPos(&cursor);
        showContextMenu(reinterpret_cast<const NMITEMACTIVATE&>(header).iItem, cursor);
        // Shown: no WM_CONTEXTMENU is to follow.
        result = 1;
        return true;
    }
    case LVN_KEYDOWN:
        onListKey(reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey);
        return true;
    default:
        return false;
    }
}

void MainWindow::askForHost() {
    AddDialog dialog;
    if (dialog.run(GetActiveWindow()) == IDOK && !dialog.text().empty()) {
        addHost(dialog.text());
    }
}

void MainWindow::chooseScaleFromBox() {
    const LRESULT entry = SendMessageW(scaleBox_, CB_GETCURSEL, 0, 0);
    if (entry == CB_ERR) {
        return;
    }
    const LRESULT length = SendMessageW(scaleBox_, CB_GETLBTEXTLEN, static_cast<WPARAM>(entry), 0);
    if (length == CB_ERR || length > scaleTextLimit) {
        return;
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(scaleBox_, CB_GETLBTEXT, static_cast<WPARAM>(entry), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    if (const auto scale = scaleByText(cpp::String(text))) {
        setScale(*scale);
    }
}

void MainWindow::showSelectedHost() {
    const auto row = hostList_.selection();
    pingView_.setHost(row ? hosts_.recordAt(*row).name : cpp::String());
}

void MainWindow::showContextMenu(int row, POINT anchor) const {
    if (row < 0 || !hostMenu_) {
        return;
    }
    const HostRecord host = hosts_.recordAt(static_cast<std::size_t>(row));
    CheckMenuItem(hostMenu_.get(), ID_HOST_ENABLED, MF_BYCOMMAND | (host.enabled() ? MF_CHECKED : MF_UNCHECKED));
    TrackPopupMenu(GetSubMenu(hostMenu_.get(), 0), TPM_LEFTBUTTON, anchor.x, anchor.y, 0, window(), nullptr);
}

void MainWindow::showContextMenuFromKeyboard() const {
    const auto row = hostList_.selection();
    if (!row)
        return;
    RECT item{};
    item.left = LVIR_LABEL;
    SendMessageW(hostList_.window(), LVM_GETITEMRECT, *row, reinterpret_cast<LPARAM>(&item));
    POINT anchor{item.left, item.bottom};
    ClientToScreen(hostList_.window(), &anchor);
    showContextMenu(static_cast<int>(*row), anchor);
}

bool MainWindow::onShortcut(const MSG& message) {
    if (isShortcut(message, 'N', true, false)) {
        // Posted: the dialog it opens runs its own loop, not inside the filter.
        PostMessageW(window(), WM_COMMAND, MAKEWPARAM(IDC_ADD_ADDRESS, 1), 0);
        return true;
    }
    // Taken here rather than left to the list: not every list view turns
    // these keys into WM_CONTEXTMENU (Wine's does not), and taken, they
    // turn into none, so the menu shows once.
    const bool menuKey = isShortcut(message, VK_F10, false, true) || isShortcut(message, VK_APPS, false, false);
    if (menuKey && message.hwnd == hostList_.window()) {
        PostMessageW(window(), openHostMenu, 0, 0);
        return true;
    }
    return false;
}

void MainWindow::onListKey(WORD key) {
    // With Ctrl or Alt these are the list's own (Ctrl+Space moves the focus
    // without selecting).
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0)
        return;
    if (key == VK_DELETE)
        runHostCommand(ID_HOST_REMOVE);
    else if (key == VK_SPACE)
        runHostCommand(ID_HOST_ENABLED);
}

void MainWindow::runHostCommand(int command) {
    const auto row = hostList_.selection();
    if (!row) {
        return;
    }
    const cpp::String name = hosts_.recordAt(*row).name;
    switch (command) {
    case ID_HOST_ENABLED:
        toggleEnabled(name);
        break;
    case ID_HOST_EXPORT:
        exportData(name);
        break;
    case ID_HOST_CLEAR:
        clearData(name);
        break;
    case ID_HOST_OPEN_LOCATION:
        openDataLocation(name);
        break;
    case ID_HOST_REMOVE:
        removeHost(name);
        break;
    default:
        break;
    }
}

void MainWindow::toggleEnabled(const cpp::String& name) {
    if (hosts_.record(name).enabled()) {
        hosts_.disable(name);
    } else {
        hosts_.enable(name);
    }
    saveConfiguration_();
    const auto row = hostList_.selection();
    refreshHosts();
    // The row stays chosen, as the graph still shows its host: Space again
    // turns it back.
    if (row) {
        selectionFrozen_ = true;
        hostList_.select(*row);
        selectionFrozen_ = false;
    }
}

void MainWindow::exportData(const cpp::String& name) const {
    try {
        const FileSaveDialog dialog(L"Text Files", L"*.txt");
        if (const auto path = dialog.show(GetDesktopWindow())) {
            store_.exportHost(name, *path);
        }
    } catch (const cpp::Exception& failure) {
        showError(failure.what());
    }
}

void MainWindow::clearData(const cpp::String& name) const {
    const cpp::String question("Are you sure that you want to clear all data for %", name);
    if (MessageBoxW(window(), question.toWide().c_str(), L"Clear Host Data", MB_YESNO) == IDYES) {
        store_.removeData(name);
    }
}

void MainWindow::openDataLocation(const cpp::String& name) const {
    try {
        const ExplorerCommand explorer =
            explorerCommand(cpp::knownFolder(cpp::KnownFolder::Windows), store_.dataFile(name).parent());
        // Detached at once: it is neither waited for nor ended.
        cpp::Process::start(explorer.program, explorer.arguments, cpp::FilePath()).close();
    } catch (const cpp::Exception& failure) {
        showError(failure.what());
    }
}

void MainWindow::removeHost(const cpp::String& name) {
    // Its history goes with it, so the menu and Delete both ask first.
    const cpp::String question("Are you sure that you want to remove % and all its data?", name);
    if (MessageBoxW(window(), question.toWide().c_str(), L"Remove Host", MB_YESNO) != IDYES)
        return;
    hosts_.remove(name);
    store_.removeData(name);
    refreshHosts();
    saveConfiguration_();
    showSelectedHost();
}

void MainWindow::showError(const char* message) const {
    MessageBoxW(window(), cpp::String(message).toWide().c_str(), L"", MB_OK);
}

} // namespace ui
