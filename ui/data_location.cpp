#include "ui/data_location.h"

namespace ui {

ExplorerCommand explorerCommand(const cpp::FilePath& windowsFolder, const cpp::FilePath& folder) {
    return {windowsFolder.combine("explorer.exe"), cpp::String("\"%\"", folder.toString('\\'))};
}

} // namespace ui
