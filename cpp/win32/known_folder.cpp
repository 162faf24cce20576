#include "cpp/known_folder.h"

#include "cpp/win32/known_folder.h"
#include "cpp/win32/unique_handle.h"
#include "cpp/win32/windows_exception.h"

#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <cwchar>

namespace cpp {

namespace windows {

FilePath knownFolder(const GUID& id) {
    CoTaskMem<wchar_t> text;
    // The buffer is the caller's to free even when the call fails.
    checkResult(SHGetKnownFolderPath(id, 0, nullptr, text.out()));
    const wchar_t* begin = text.get();
    return FilePath(String(begin, begin + std::wcslen(begin)));
}

} // namespace windows

FilePath knownFolder(KnownFolder folder) {
    switch (folder) {
    case KnownFolder::System:
        return windows::knownFolder(FOLDERID_System);
    case KnownFolder::LocalAppData:
        return windows::knownFolder(FOLDERID_LocalAppData);
    case KnownFolder::StartMenu:
        return windows::knownFolder(FOLDERID_StartMenu);
    case KnownFolder::Windows:
        return windows::knownFolder(FOLDERID_Windows);
    }
    throw windows::Exception(static_cast<std::int32_t>(E_INVALIDARG));
}

} // namespace cpp
