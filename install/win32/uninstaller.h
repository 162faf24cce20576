#pragma once

#include "install/win32/installation.h"

#include "cpp/file_path.h"
#include "cpp/string.h"

#include <functional>

namespace install {

// What the uninstaller reports to, in the program the uninstall window.
class UninstallProgress {
public:
    virtual ~UninstallProgress() = default;
    // Shows the window normally; called only by the process that does the
    // uninstalling.
    virtual void show() = 0;
    virtual void setStatus(const cpp::String& text) = 0;
    // The work is done: the user may close the window ("Close" enabled).
    virtual void finished() = 0;
};

// Tells the user something and returns once they have read it.
using TellUser = std::function<void(const cpp::String& text)>;

// A message box without owner, with the system's default caption and OK.
void tellUserInMessageBox(const cpp::String& text);

// The "--uninstall" path, run instead of the normal start.
//
// Run as the installed program, it copies itself into the temporary folder,
// starts that copy with "--uninstall" and ends this run by throwing
// cpp::InterruptException (a quiet end), so that the copy can delete the
// installed program. Run from anywhere else, it shows the progress, deletes
// the installed program (3 tries a second apart), the data folder, the
// shortcut and the uninstall entry, and reports "tarnlet has been
// successfully uninstalled". When the installed program stays in use it
// tells the user "Unable to uninstall when the application is in use." and
// ends quietly, removing nothing else.
//
// Throws cpp::File::Exception when the copy cannot be made.
void uninstall(const cpp::FilePath& programPath, UninstallProgress& progress);
void uninstall(const cpp::FilePath& programPath, UninstallProgress& progress, const Installation& installation,
               const TellUser& tellUser);

} // namespace install
