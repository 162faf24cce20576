#pragma once

#include "cpp/string.h"

namespace cpp {

// The current user's entry in the system's list of installed programs, at
// "Software\Microsoft\Windows\CurrentVersion\Uninstall\<keyName>".

// Creates the key, or opens it keeping its other values, and sets each text
// that is not empty as a string value, then NoModify and NoRepair as 1.
// Throws cpp::windows::Exception when the key cannot be created.
void writeUninstallEntry(const String& keyName, const String& displayName, const String& uninstallString,
                         const String& installLocation, const String& publisher, const String& version,
                         const String& displayIcon);

// Deletes the key; an entry that is not there is left alone. Throws
// cpp::windows::Exception when the system refuses to delete it.
void removeUninstallEntry(const String& keyName);

// The key's path under the current user's root.
String uninstallEntryPath(const String& keyName);

} // namespace cpp
