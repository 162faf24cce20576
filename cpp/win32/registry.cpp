#include "cpp/win32/registry.h"

#include "cpp/win32/windows_exception.h"

#include <string>

namespace cpp {

namespace {

// The registry returns its error code rather than setting the thread's;
// putting it there lets the exception carry the system's text for it.
void check(LSTATUS result) {
    if (result != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(result));
        throw windows::Exception();
    }
}

} // namespace

RegistryKey RegistryKey::currentUser() {
    return RegistryKey(HKEY_CURRENT_USER);
}

RegistryKey RegistryKey::create(const String& subkey) const {
    HKEY key = nullptr;
    check(RegCreateKeyExW(handle(), subkey.toWide().c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                          nullptr));
    return RegistryKey(key);
}

RegistryKey RegistryKey::open(const String& subkey) const {
    HKEY key = nullptr;
    check(RegOpenKeyExW(handle(), subkey.toWide().c_str(), 0, KEY_ALL_ACCESS, &key));
    return RegistryKey(key);
}

bool RegistryKey::exists(const String& subkey) const {
    try {
        open(subkey);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void RegistryKey::remove(const String& subkey) const {
    check(RegDeleteKeyW(handle(), subkey.toWide().c_str()));
}

void RegistryKey::setString(const String& name, const String& value) const {
    const std::wstring wide = value.toWide();
    // The size counts the terminating zero.
    RegSetValueExW(handle(), name.toWide().c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                   static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

void RegistryKey::setNumber(const String& name, std::uint32_t value) const {
    const DWORD number = value;
    RegSetValueExW(handle(), name.toWide().c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof(number));
}

void RegistryKey::removeValue(const String& name) const {
    const LSTATUS result = RegDeleteValueW(handle(), name.toWide().c_str());
    if (result != ERROR_FILE_NOT_FOUND)
        check(result);
}

} // namespace cpp
