#include "cpp/win32/shortcut.h"

#include "cpp/win32/com_pointer.h"
#include "cpp/win32/windows_exception.h"

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

namespace cpp {

using windows::checkResult;

void createShortcut(const FilePath& linkPath, const FilePath& target, const String& arguments,
                    const String& description, const FilePath& iconPath) {
    windows::ComPointer<IShellLinkW> link;
    checkResult(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.out()));
    // The setters only fill the object in memory; what matters is the save.
    link->SetPath(target.toString('\\').toWide().c_str());
    link->SetWorkingDirectory(target.parent().toString('\\').toWide().c_str());
    if (!arguments.empty()) {
        link->SetArguments(arguments.toWide().c_str());
    }
    if (!description.empty()) {
        link->SetDescription(description.toWide().c_str());
    }
    if (!iconPath.empty()) {
        link->SetIconLocation(iconPath.toString('\\').toWide().c_str(), 0);
    }
    windows::ComPointer<IPersistFile> file;
    checkResult(link->QueryInterface(IID_IPersistFile, file.out()));
    checkResult(file->Save(linkPath.toString('\\').toWide().c_str(), TRUE));
}

} // namespace cpp
