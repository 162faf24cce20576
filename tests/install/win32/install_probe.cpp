// install-probe: stands in for tarnlet.exe in the end-to-end test of the
// install step and the uninstaller, which run here exactly as the program
// runs them, at the current user's real locations. Only the user is told
// nothing: what would go into a message box is written to the log, so an
// unattended test never waits on a box.
//
// Every line goes to the file $TARNLET_PROBE_LOG, prefixed by this process's
// id: "start <program path> | <command line>", then the events of the
// uninstall window ("show", "status <text>", "finished") or what the user
// would be told ("told <text>"), and how the run went on: "continued",
// "ended quietly" or "error <message>". With "--stay=<seconds>" a run that
// continues keeps running that long, as a program in use, and keeps its own
// file from being deleted as Windows does for a running program (Wine lets
// it go).

#include "cpp/exception.h"
#include "cpp/string.h"
#include "cpp/thread.h"
#include "cpp/time.h"
#include "cpp/win32/win_app.h"
#include "install/win32/installation.h"
#include "install/win32/installer.h"
#include "install/win32/uninstaller.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>

namespace {

void logLine(const cpp::String& text) {
    const char* path = std::getenv("TARNLET_PROBE_LOG");
    if (path == nullptr || *path == '\0') {
        return;
    }
    std::ofstream(path, std::ios::binary | std::ios::app) << GetCurrentProcessId() << " " << text << "\n";
}

class LoggedProgress : public install::UninstallProgress {
public:
    void show() override { logLine("show"); }
    void setStatus(const cpp::String& text) override { logLine(cpp::String("status %", text)); }
    void finished() override { logLine("finished"); }
};

void run(const cpp::Program::WinApp& program) {
    logLine(cpp::String("start % | %", program.programPath().toString('\\'), program.properties().get("cmdline")));
    const install::TellUser tellUser = [](const cpp::String& text) { logLine(cpp::String("told %", text)); };
    if (program.properties().contains("--uninstall")) {
        LoggedProgress progress;
        install::uninstall(program.programPath(), progress, install::Installation::forCurrentUser(), tellUser);
    } else {
        install::install(program.properties(), program.programPath());
    }
    const std::int64_t stay = cpp::String(program.properties().get("--stay")).toInteger();
    if (stay <= 0) {
        logLine("continued");
        return;
    }
    HANDLE image = CreateFileW(program.programPath().toString('\\').toWide().c_str(), GENERIC_READ, FILE_SHARE_READ,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    if (image == INVALID_HANDLE_VALUE) {
        logLine(cpp::String("not held: %", GetLastError()));
    }
    logLine("continued");
    cpp::Thread::sleep(cpp::Duration::seconds(static_cast<std::uint64_t>(stay)));
    if (image != INVALID_HANDLE_VALUE) {
        CloseHandle(image);
    }
}

} // namespace

int main() {
    try {
        const cpp::Program::WinApp program(PathGetArgsW(GetCommandLineW()));
        run(program);
    } catch (const cpp::InterruptException&) {
        logLine("ended quietly");
    } catch (const std::exception& error) {
        logLine(cpp::String("error %", error.what()));
    }
    return 0;
}
