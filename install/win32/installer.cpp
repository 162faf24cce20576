#include "install/win32/installer.h"

#include "cpp/exception.h"
#include "cpp/file.h"
#include "cpp/file_info.h"
#include "cpp/logger.h"
#include "cpp/process.h"
#include "cpp/win32/named_mutex.h"
#include "cpp/win32/shortcut.h"
#include "cpp/win32/uninstall_entry.h"

#include <windows.h>

#include <utility>

namespace install {

namespace {

using cpp::File;
using cpp::FilePath;
using cpp::String;

constexpr DWORD installMutexWaitMilliseconds = 5000;

cpp::windows::NamedMutex acquireInstallMutex(const String& name) {
    cpp::windows::NamedMutex mutex = cpp::windows::createNamedMutex(name);
    // A mutex whose owner ended without closing it is handed to us, owned,
    // as WAIT_ABANDONED: that is the replacement started by a hand-over
    // finding its predecessor gone.
    const DWORD result = WaitForSingleObject(mutex.handle(), installMutexWaitMilliseconds);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
        throw cpp::Exception("Error occured while trying to install corvash.");
    }
    return mutex;
}

// The replacement started by a hand-over installs itself at once; keeping
// the mutex owned until this process has ended makes it wait for the
// installed program to be free for overwriting.
void holdUntilExit(cpp::windows::NamedMutex mutex) {
    static cpp::windows::NamedMutex held;
    held = std::move(mutex);
}

// A blank in the path would let the system try shorter paths first.
String commandPath(const FilePath& program) {
    const String text = program.toString('\\');
    return text.find(' ') == String::npos ? text : String("\"%\"", text);
}

void tidyOrHandOver(const cpp::PropertyMap& properties, const Installation& installation,
                    cpp::windows::NamedMutex& mutex) {
    const FilePath replacement = installation.replacementExecutable();
    if (!File::exists(replacement)) {
        return;
    }
    if (File::equal(replacement, installation.installedExecutable())) {
        File::remove(replacement);
        return;
    }
    try {
        cpp::Process::start(replacement, String(properties.get("cmdline")), installation.dataFolder).close();
    } catch (const cpp::Exception& error) {
        // A replacement that cannot start (cut short, say) must not keep the
        // installed program from starting.
        cpp::warning(String("Unable to start %: %", replacement, error.what()));
        return;
    }
    holdUntilExit(std::move(mutex));
    throw cpp::InterruptException();
}

void copyIntoPlace(const FilePath& programPath, const Installation& installation) {
    const FilePath installed = installation.installedExecutable();
    if (File::equal(programPath, installed)) {
        return;
    }
    File::createDirectory(installation.dataFolder);
    File::remove(installed);
    copyProgram(programPath, installed);
    File::remove(installation.replacementExecutable());
}

// Files already in the data folder win; whatever is left goes with the older
// folder. A folder that cannot be listed is kept, data and all.
void moveOlderData(const Installation& installation) {
    const FilePath older = installation.olderDataFolder();
    if (!cpp::FileInfo(older).isDirectory()) {
        return;
    }
    std::vector<FilePath> entries;
    try {
        entries = File::list(older);
    } catch (const cpp::Exception&) {
        return;
    }
    for (const FilePath& entry : entries) {
        const FilePath destination(installation.dataFolder, entry.fileName());
        if (!File::exists(destination)) {
            File::move(entry, destination);
        }
    }
    File::remove(older);
}

void registerInstallation(const Installation& installation) {
    const FilePath installed = installation.installedExecutable();
    if (!File::exists(installation.shortcut)) {
        cpp::createShortcut(installation.shortcut, installed, String(), TARNLET_NAME, installed);
    }
    cpp::UninstallEntry entry;
    entry.displayName = String(TARNLET_NAME " %", TARNLET_VERSION);
    entry.uninstallString = String("% --uninstall", commandPath(installed));
    entry.installLocation = installation.dataFolder.toString('\\');
    entry.publisher = "Brackwater Inc.";
    entry.version = TARNLET_VERSION;
    entry.displayIcon = String("%, 0", installed.toString('\\'));
    // Rounded up, as a file of a few bytes still takes room.
    entry.estimatedSizeKib = static_cast<std::uint32_t>((cpp::FileInfo(installed).size() + 1023) / 1024);
    cpp::writeUninstallEntry(installation.entryName, entry);
}

} // namespace

void install(const cpp::PropertyMap& properties, const FilePath& programPath) {
    install(properties, programPath, Installation::forCurrentUser());
}

void install(const cpp::PropertyMap& properties, const FilePath& programPath, const Installation& installation) {
    if (properties.contains("--noInstall")) {
        return;
    }
    cpp::windows::NamedMutex mutex = acquireInstallMutex(installation.mutexName);
    // The uninstaller's copy is left behind by the uninstall before; it may
    // still be running, and then stays.
    if (!samePath(installation.uninstallerCopy(), programPath)) {
        File::remove(installation.uninstallerCopy());
    }
    if (samePath(programPath, installation.installedExecutable())) {
        tidyOrHandOver(properties, installation, mutex);
        return;
    }
    copyIntoPlace(programPath, installation);
    moveOlderData(installation);
    registerInstallation(installation);
}

} // namespace install
