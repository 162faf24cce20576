#pragma once

#include "cpp/file_path.h"

namespace cpp {

// The system folders the program needs.
enum class KnownFolder {
    // Where ping.exe lives.
    System,
    // The per-user base of the installation and of the data directory.
    LocalAppData,
    // Where the shortcut goes.
    StartMenu,
    Windows,
};

// The folder's path as the system reports it. Throws when the system has no
// such folder.
FilePath knownFolder(KnownFolder folder);

} // namespace cpp
