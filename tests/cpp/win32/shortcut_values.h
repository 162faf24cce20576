#pragma once

// Loads a saved shortcut back through the shell, as Explorer would read it.

#include "cpp/file_path.h"
#include "cpp/string.h"
#include "cpp/win32/com_pointer.h"

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <cwchar>
#include <optional>

namespace cpp::test {

struct ShortcutValues {
    String target;
    String workingDirectory;
    String arguments;
    String description;
    String iconPath;
    int iconIndex = -1;
};

inline String fromBuffer(const wchar_t* text) {
    return String(text, text + wcslen(text));
}

// nullopt when the file cannot be loaded as a shortcut. COM must be
// initialised on the thread.
inline std::optional<ShortcutValues> readShortcut(const FilePath& linkPath) {
    windows::ComPointer<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.out()))) {
        return std::nullopt;
    }
    windows::ComPointer<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.out())) ||
        FAILED(file->Load(linkPath.toString('\\').toWide().c_str(), STGM_READ))) {
        return std::nullopt;
    }
    ShortcutValues values;
    wchar_t buffer[MAX_PATH * 2] = {};
    // The raw path: the shell would otherwise resolve it against the disk.
    if (SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH))) {
        values.target = fromBuffer(buffer);
    }
    buffer[0] = L'\0';
    if (SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH))) {
        values.workingDirectory = fromBuffer(buffer);
    }
    buffer[0] = L'\0';
    if (SUCCEEDED(link->GetArguments(buffer, MAX_PATH))) {
        values.arguments = fromBuffer(buffer);
    }
    buffer[0] = L'\0';
    if (SUCCEEDED(link->GetDescription(buffer, MAX_PATH))) {
        values.description = fromBuffer(buffer);
    }
    buffer[0] = L'\0';
    if (SUCCEEDED(link->GetIconLocation(buffer, MAX_PATH, &values.iconIndex))) {
        values.iconPath = fromBuffer(buffer);
    }
    return values;
}

// Balances the thread's COM initialisation, as the program frame does.
class ComApartment {
public:
    ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ~ComApartment() {
        if (initialised_) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialised_;
};

} // namespace cpp::test
