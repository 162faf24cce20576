#pragma once

#include "cpp/file_path.h"
#include "cpp/string.h"

namespace install {

// Where the program installs itself and under which names. The installer
// and the uninstaller take it whole, so tests can point them at throwaway
// folders and registry keys.
struct Installation {
    // The per-user folder that holds the installed program and its data.
    cpp::FilePath dataFolder;
    // Holds the older data location and the uninstaller's copy.
    cpp::FilePath temporaryFolder;
    // The Start-menu shortcut.
    cpp::FilePath shortcut;
    // The key of the entry in the list of installed programs.
    cpp::String entryName;
    // Held while installing, so two starts never install at once.
    cpp::String mutexName;
    // The value under the current user's Run key that starts the program
    // with Windows.
    cpp::String runValueName;

    // The current user's: "tarnlet" in the local application data folder,
    // "tarnlet.lnk" in the Start menu, entry, mutex and Run value "tarnlet".
    static Installation forCurrentUser();

    // The program's settings: "config.txt" in the data folder.
    cpp::FilePath configFile() const;
    // The log that "--log" asks for: "tarnlet.log" in the data folder.
    cpp::FilePath logFile() const;
    // The installed program: "tarnlet.exe" in the data folder.
    cpp::FilePath installedExecutable() const;
    // A newer build placed beside the installed one: "_tarnlet.exe".
    cpp::FilePath replacementExecutable() const;
    // Where earlier versions kept their data: "tarnlet" in the temporary folder.
    cpp::FilePath olderDataFolder() const;
    // The copy from which the uninstaller runs, so that it can delete the
    // installed program.
    cpp::FilePath uninstallerCopy() const;
};

// The current user's data folder: "tarnlet" in the local application data
// folder. Asked of the system on every call.
cpp::FilePath currentDataFolder();

// Copies the program file from to to. Throws cpp::File::Exception with the
// status as its code when the copy fails.
void copyProgram(const cpp::FilePath& from, const cpp::FilePath& to);

// The file system ignores case; the program's own path keeps the case it was
// started with.
bool samePath(const cpp::FilePath& a, const cpp::FilePath& b);

} // namespace install
