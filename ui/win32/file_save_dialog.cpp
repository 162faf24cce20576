#include "ui/win32/file_save_dialog.h"

#include "ui/win32/handles.h"

#include <shobjidl.h>

namespace ui {

FileSaveDialog::FileSaveDialog(std::wstring typeName, std::wstring pattern)
    : typeName_(std::move(typeName)), pattern_(std::move(pattern)) {}

std::optional<cpp::FilePath> FileSaveDialog::show(HWND owner) const {
    ComPtr<IFileSaveDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileSaveDialog,
                                dialog.putVoid()))) {
        return std::nullopt;
    }
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(dialog->GetOptions(&options)) ||
        FAILED(dialog->SetOptions(options | FOS_OVERWRITEPROMPT | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST))) {
        return std::nullopt;
    }
    const COMDLG_FILTERSPEC type{typeName_.c_str(), pattern_.c_str()};
    if (FAILED(dialog->SetFileTypes(1, &type))) {
        return std::nullopt;
    }
    // Cancelling comes back as a failure too.
    if (FAILED(dialog->Show(owner))) {
        return std::nullopt;
    }
    ComPtr<IShellItem> item;
    if (FAILED(dialog->GetResult(item.put()))) {
        return std::nullopt;
    }
    PWSTR name = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &name)) || !name) {
        return std::nullopt;
    }
    // Taken whole: a path cut to a buffer would name another file.
    const cpp::String path(name, name + wcslen(name));
    CoTaskMemFree(name);
    return cpp::FilePath(path.span());
}

} // namespace ui
