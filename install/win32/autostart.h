#pragma once

#include "install/win32/installation.h"

#include "cpp/string.h"

namespace install {

// The current user's Run key, whose values the system starts at log-on.
inline constexpr const char* runKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// What the Run value holds: the installed program's path, quoted, and
// --minimized, so that a start with Windows shows only the icon.
cpp::String startWithWindowsCommand(const Installation& installation);

// Writes the installation's Run value, or removes it. A refusal is logged
// as a warning and goes no further: the setting must not stop the program.
void setStartWithWindows(bool on, const Installation& installation);

} // namespace install
