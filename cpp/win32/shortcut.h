#pragma once

#include "cpp/file_path.h"
#include "cpp/string.h"

namespace cpp {

// Saves a shell shortcut (.lnk) at linkPath that starts target in target's
// folder. Empty arguments, description or icon path are left out; the icon is
// the first in its file. The calling thread must have initialised COM.
// Throws cpp::windows::Exception ("hresult: 0x…") when the shell refuses.
void createShortcut(const FilePath& linkPath, const FilePath& target, const String& arguments,
                    const String& description, const FilePath& iconPath);

} // namespace cpp
