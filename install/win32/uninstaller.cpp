#include "install/win32/uninstaller.h"

#include "install/win32/autostart.h"

#include "cpp/exception.h"
#include "cpp/file.h"
#include "cpp/process.h"
#include "cpp/thread.h"
#include "cpp/time.h"
#include "cpp/win32/uninstall_entry.h"

#include <windows.h>

namespace install {

namespace {

using cpp::File;
using cpp::FilePath;
using cpp::String;

constexpr int deleteAttempts = 3;

// The installed program cannot delete itself while it runs.
void handOverToCopy(const FilePath& programPath, const Installation& installation) {
    const FilePath copy = installation.uninstallerCopy();
    File::remove(copy);
    copyProgram(programPath, copy);
    cpp::Process::start(copy, "--uninstall", FilePath()).close();
    throw cpp::InterruptException();
}

// The program that was just left may take a moment to end.
bool deleteInstalledProgram(const FilePath& installed) {
    for (int attempt = 0; attempt < deleteAttempts && File::exists(installed); ++attempt) {
        if (File::remove(installed) != File::Status::Success) {
            cpp::Thread::sleep(cpp::Duration::seconds(1));
        }
    }
    return !File::exists(installed);
}

} // namespace

void tellUserInMessageBox(const String& text) {
    MessageBoxW(nullptr, text.toWide().c_str(), nullptr, MB_OK);
}

void uninstall(const FilePath& programPath, UninstallProgress& progress) {
    uninstall(programPath, progress, Installation::forCurrentUser(), tellUserInMessageBox);
}

void uninstall(const FilePath& programPath, UninstallProgress& progress, const Installation& installation,
               const TellUser& tellUser) {
    if (samePath(programPath, installation.installedExecutable())) {
        handOverToCopy(programPath, installation);
    }
    progress.show();
    if (!deleteInstalledProgram(installation.installedExecutable())) {
        tellUser("Unable to uninstall when the application is in use.");
        throw cpp::InterruptException();
    }
    File::remove(installation.dataFolder);
    File::remove(installation.shortcut);
    setStartWithWindows(false, installation);
    cpp::removeUninstallEntry(installation.entryName);
    progress.setStatus(TARNLET_NAME " has been successfully uninstalled");
    progress.finished();
}

} // namespace install
