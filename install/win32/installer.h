#pragma once

#include "install/win32/installation.h"

#include "cpp/file_path.h"
#include "cpp/property_map.h"

namespace install {

// The install step of every normal start, before any window exists.
//
// Run from anywhere but the installed place, it installs the running build
// for the current user (the program in the data folder, the Start-menu
// shortcut, the entry in the list of installed programs), moves data from
// the older location, and returns: this run goes on from where it started.
// Run as the installed program, it removes a replacement identical to it, or
// starts a different replacement with this run's arguments ("cmdline") and
// ends this run by throwing cpp::InterruptException, which the entry point
// takes as a quiet end. "--noInstall" among the properties skips it all.
//
// Throws cpp::Exception "Error occured while trying to install corvash." when
// another start holds the install mutex for 5 seconds, and cpp::File::Exception
// when the program cannot be copied into place.
void install(const cpp::PropertyMap& properties, const cpp::FilePath& programPath);
void install(const cpp::PropertyMap& properties, const cpp::FilePath& programPath, const Installation& installation);

} // namespace install
