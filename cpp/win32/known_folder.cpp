#include "cpp/known_folder.h"

#include "cpp/win32/known_folder.h"
#include "cpp/win32/windows_exception.h"

#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <cwchar>
#include <utility>

namespace cpp {

namespace windows {

namespace {

// Owns text the shell allocated for us.
class CoTaskText {
public:
    CoTaskText() = default;
    CoTaskText(CoTaskText&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
    CoTaskText& operator=(CoTaskText&& other) noexcept {
        std::swap(text_, other.text_);
        return *this;
    }
    CoTaskText(const CoTaskText&) = delete;
    CoTaskText& operator=(const CoTaskText&) = delete;
    ~CoTaskText() { CoTaskMemFree(text_); }

    PWSTR* out() { return &text_; }
    const wchar_t* get() const { return text_; }

private:
    PWSTR text_ = nullptr;
};

} // namespace

FilePath knownFolder(const GUID& id) {
    CoTaskText text;
    // The buffer is the caller's to free even when the call fails.
    const HRESULT result = SHGetKnownFolderPath(id, 0, nullptr, text.out());
    if (FAILED(result)) {
        throw Exception(static_cast<std::int32_t>(result));
    }
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
