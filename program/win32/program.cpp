#include "program/win32/program.h"

#include "app/host_registry.h"
#include "app/log_file.h"
#include "app/metrics.h"
#include "app/outage_file.h"
#include "app/outage_ledger.h"
#include "app/sample_store.h"
#include "app/settings.h"
#include "cpp/property_file.h"
#include "install/win32/autostart.h"
#include "install/win32/installation.h"
#include "install/win32/installer.h"
#include "install/win32/uninstaller.h"
#include "install/win32/update_check.h"
#include "resources/resource.h"
#include "ui/win32/font_cache.h"
#include "ui/win32/main_window.h"
#include "ui/win32/uninstall_window.h"
#include "ui/win32/window_dpi.h"

#include <windows.h>

#include <optional>
#include <vector>

namespace {

// The font cache makes it at each window's DPI from its height at 96 DPI:
// 14 pixels of cell height there, 10.5 points.
LOGFONTW uiFont() {
    LOGFONTW font{};
    font.lfHeight = 14;
    wcscpy(font.lfFaceName, L"Tahoma");
    return font;
}

// Where the window stands when not minimized, in screen coordinates: a
// minimized (or minimized and hidden) window's own rectangle is the icon's.
std::optional<RECT> restoredRect(HWND window) {
    if (!IsIconic(window)) {
        RECT rect;
        return GetWindowRect(window, &rect) ? std::optional<RECT>(rect) : std::nullopt;
    }
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(window, &placement))
        return std::nullopt;
    // The placement counts from the work area, which a taskbar at the top
    // or the left moves away from the screen's corner.
    RECT rect = placement.rcNormalPosition;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &monitor))
        OffsetRect(&rect, monitor.rcWork.left - monitor.rcMonitor.left, monitor.rcWork.top - monitor.rcMonitor.top);
    return rect;
}

// The uninstaller reports through the window, which knows nothing of it.
class UninstallShown : public install::UninstallProgress {
public:
    explicit UninstallShown(ui::UninstallWindow& window) : window_(window) {}
    void show() override { window_.show(); }
    void setStatus(const cpp::String& text) override { window_.setStatus(text); }
    void finished() override { window_.finished(); }

private:
    ui::UninstallWindow& window_;
};

} // namespace

// Members in the order they are made; they go in the reverse order, after
// every runner has stopped.
class Program::Detail {
public:
    explicit Detail(Program& program)
        : mainWindow(hostRegistry, sampleStore, fonts, [&program] { program.saveConfiguration(); }),
          // Its lines are written on a worker, never under the registry's mutex.
          outageLedger(systemClock(),
                       [this, &program] { program.bus().postWork([this] { outageFile.appendFinished(outageLedger); }); }),
          hostRegistry(sampleStore, systemClock(), program.bus()) {
        hostRegistry.addObserver(&metrics);
    }
    ~Detail() {
        // Before the runners stop, which would end it as disabled.
        outageLedger.close();
        hostRegistry.stopAll();
        // The workers have stopped: what they did not write goes now.
        outageFile.appendFinished(outageLedger);
    }

    ui::FontCache fonts;
    ui::MainWindow mainWindow;
    ui::UninstallWindow uninstallWindow{fonts};
    const ::install::Installation installation = ::install::Installation::forCurrentUser();
    // The folder is asked for anew on every use, as the writer and the store expect.
    MinuteWriter minuteWriter{systemClock(), ::install::currentDataFolder};
    SampleStore sampleStore{systemClock(), ::install::currentDataFolder, &minuteWriter};
    OutageFile outageFile{cpp::FilePath(installation.dataFolder, "outages.csv")};
    // Outlives the registry's runners, which tell it.
    OutageLedger outageLedger;
    HostRegistry hostRegistry;
    cpp::PropertyFile configuration;
    MetricsCollector metrics{hostRegistry, cpp::DateTime(), &outageLedger};
    // Goes before the collector it reads.
    std::unique_ptr<cpp::HttpServer> metricsServer;
};

Program::Program(const std::wstring& commandLine) : WinApp(commandLine) {
    detail_ = std::make_shared<Detail>(*this);
    if (properties().contains("--log"))
        logger().addFilter(std::make_shared<LogFile>(detail_->installation.logFile(), asyncIO()));
    bus().resize(2);
    detail_->fonts.create("ui", uiFont());
}

Program::~Program() {
    // Workers first: a loading task or the update check must not outlive the
    // store or the window it reports to.
    bus().resize(0);
    detail_->hostRegistry.setView(nullptr);
    detail_.reset();
}

void Program::start() {
    ::install::install(properties(), programPath());
    Detail& detail = *detail_;
    detail.configuration.load(detail.installation.configFile(), cpp::Duration::milliseconds(1000));

    detail.outageLedger.restore(detail.outageFile.load());
    detail.hostRegistry.addObserver(&detail.outageLedger);

    ui::MainWindow& window = detail.mainWindow;
    const settings::TrayChoices trayChoices = settings::trayChoices(detail.configuration);
    window.setTrayChoices(trayChoices);
    window.setStartWithWindows(
        [&detail](bool on) { ::install::setStartWithWindows(on, detail.installation); });
    // The Run value follows the setting, and names the program where it is now installed.
    ::install::setStartWithWindows(trayChoices.startWithWindows, detail.installation);
    window.attachOutages(detail.outageLedger);
    window.create();
    detail.hostRegistry.setView(&window);
    detail.hostRegistry.addObserver(&window.outageNotices());
    window.centre();
    // Started with Windows: only the icon shows until it is clicked.
    if (!properties().contains("--minimized"))
        window.show();
    startMetrics();

    // The check must never hold up the window thread.
    bus().postWork([this] { bus().postWork([this] { checkForUpdate(); }); });

    window.setScale(ScaleBuckets::firstScale());
    const std::vector<cpp::String> names = settings::hostNames(detail.configuration.get("hosts"));
    // The graph shows each part of the history as soon as it is in, not at
    // its next refresh.
    detail.sampleStore.loadHosts(names, bus(), [this] {
        bus().post([this] { detail_->mainWindow.pingView().refresh(); });
    });
    for (const cpp::String& name : names)
        detail.hostRegistry.ensure(name);
    for (const cpp::String& name : settings::hostNames(detail.configuration.get("active"))) {
        if (detail.hostRegistry.contains(name))
            detail.hostRegistry.enable(name);
    }
    if (detail.hostRegistry.names().empty())
        window.addHost("8.8.8.8");
    window.refreshHosts();
    applySavedPlacement();
    applySavedScale();
}

void Program::startMetrics() {
    const auto listen = settings::metricsListen(detail_->configuration.get("metrics"), properties());
    if (!listen)
        return;
    try {
        const auto endpoint = settings::endpoint(*listen);
        if (!endpoint)
            throw cpp::Exception(cpp::String("\"%\" is no HOST:PORT", *listen));
        detail_->metricsServer = serveMetrics(detail_->metrics, *endpoint);
    } catch (const cpp::Exception& error) {
        // Pinging goes on without the page.
        cpp::warning(cpp::String("Metrics are off: %", error.what()));
        detail_->mainWindow.setTitleNote("metrics off");
    }
}

void Program::uninstall() {
    ui::UninstallWindow& window = detail_->uninstallWindow;
    window.create();
    window.centre();
    UninstallShown progress(window);
    ::install::uninstall(programPath(), progress);
}

void Program::checkForUpdate() {
    ::install::checkForUpdate(::install::updateUrl(properties()), [this] {
        // Windows belong to the window thread.
        bus().post([this] { detail_->mainWindow.pingView().updateNotice().show(); });
    });
}

void Program::applySavedPlacement() {
    const auto place = settings::placement(detail_->configuration.get("pos"));
    if (!place)
        return;
    // The corner in screen pixels, the size at 96 DPI: moved first, so that
    // the window has the DPI of the screen it lands on (a move to another
    // screen changes it), then sized at that DPI.
    const HWND window = detail_->mainWindow.window();
    SetWindowPos(window, nullptr, place->left, place->top, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    const ui::Dpi dpi = ui::dpiOf(window);
    SetWindowPos(window, nullptr, 0, 0, dpi(place->width), dpi(place->height), SWP_NOZORDER | SWP_NOMOVE);
}

void Program::applySavedScale() {
    const auto scale = settings::scale(detail_->configuration.get("scale"));
    if (scale)
        detail_->mainWindow.setScale(*scale);
}

void Program::saveConfiguration() {
    std::optional<settings::WindowState> window;
    const HWND handle = detail_->mainWindow.window();
    if (const std::optional<RECT> rect = handle && IsWindow(handle) ? restoredRect(handle) : std::nullopt) {
        const ui::Dpi dpi = ui::dpiOf(handle);
        const ui::Dpi standard;
        window = settings::WindowState{{rect->left, rect->top, dpi.convert(rect->right - rect->left, standard),
                                        dpi.convert(rect->bottom - rect->top, standard)},
                                       detail_->mainWindow.scale(),
                                       detail_->mainWindow.trayChoices()};
    }
    settings::save(detail_->configuration, detail_->hostRegistry, window);
}
