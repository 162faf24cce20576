#pragma once

#include "cpp/file_path.h"
#include "cpp/string.h"

// "Open Data Location": the explorer of the system's own Windows folder,
// whatever its drive, given the folder in quotes, as a user name may hold
// blanks.
namespace ui {

struct ExplorerCommand {
    cpp::FilePath program;
    cpp::String arguments;
};

ExplorerCommand explorerCommand(const cpp::FilePath& windowsFolder, const cpp::FilePath& folder);

} // namespace ui
