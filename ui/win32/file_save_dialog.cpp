#include "ui/win32/file_save_dialog.h"

#include "cpp/win32/com_pointer.h"
#include "cpp/win32/unique_handle.h"

#include <shobjidl.h>

namespace ui {

using cpp::windows::ComPointer;

FileSaveDialog::FileSaveDialog(std::wstring typeName, std::wstring pattern)
    : typeName_(std::move(typeName)), pattern_(std::move(pattern)) {}

std::optional<cpp::FilePath> FileSaveDialog::show(HWND owner) const {
    ComPointer<IFileSaveDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileSaveDialog,
                                dialog.out()))) {
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
    ComPointer<IShellItem> item;
    if (FAILED(dialog->GetResult(item.typedOut()))) {
        return std::nullopt;
    }
    cpp::windows::CoTaskMem<wchar_t> name;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, name.out())) || !name) {
        return std::nullopt;
    }
    // Taken whole: a path cut to a buffer would name another file.
    const cpp::String path(name.get(), name.get() + wcslen(name.get()));
    return cpp::FilePath(path.span());
}

} // namespace ui
