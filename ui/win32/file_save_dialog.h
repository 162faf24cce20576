#pragma once

#include "cpp/file_path.h"

#include <windows.h>

#include <optional>
#include <string>

namespace ui {

// The shell's file-save dialog for one type of file: it asks before
// overwriting, offers file-system items only and wants a folder that exists.
class FileSaveDialog {
public:
    // typeName as "Text Files", pattern as "*.txt".
    FileSaveDialog(std::wstring typeName, std::wstring pattern);

    // Runs the dialog modally. The chosen path, or nothing when the user
    // cancels or the dialog cannot be made or shown. COM must be initialised.
    std::optional<cpp::FilePath> show(HWND owner) const;

private:
    const std::wstring typeName_;
    const std::wstring pattern_;
};

} // namespace ui
