#pragma once

#include "cpp/string.h"

#include <cstdint>

namespace cpp {

// The current user's entry in the system's list of installed programs, at
// "Software\Microsoft\Windows\CurrentVersion\Uninstall\<keyName>".
struct UninstallEntry {
    String displayName;
    String uninstallString;
    String installLocation;
    String publisher;
    // Written as Version and as DisplayVersion, which the system shows.
    String version;
    String displayIcon;
    // The installed size in KiB, which the system shows; 0 leaves it out.
    std::uint32_t estimatedSizeKib = 0;
};

// Creates the key, or opens it keeping its other values, and sets each text
// that is not empty as a string value, the size when known, then NoModify
// and NoRepair as 1. Throws cpp::windows::Exception when the key cannot be
// created.
void writeUninstallEntry(const String& keyName, const UninstallEntry& entry);

// Deletes the key; an entry that is not there is left alone. Throws
// cpp::windows::Exception when the system refuses to delete it.
void removeUninstallEntry(const String& keyName);

// The key's path under the current user's root.
String uninstallEntryPath(const String& keyName);

} // namespace cpp
