#pragma once

// Reads the current user's registry through the system's own calls, not
// through the wrapper under test.

#include "cpp/string.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace cpp::test {

struct RegistryValue {
    DWORD type = REG_NONE;
    std::string bytes;
};

inline std::optional<RegistryValue> readRegistryValue(const String& keyPath, const String& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.toWide().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    RegistryValue value;
    DWORD size = 0;
    const std::wstring wideName = name.toWide();
    LSTATUS result = RegQueryValueExW(key, wideName.c_str(), nullptr, &value.type, nullptr, &size);
    if (result == ERROR_SUCCESS) {
        value.bytes.resize(size);
        result = RegQueryValueExW(key, wideName.c_str(), nullptr, &value.type,
                                  reinterpret_cast<BYTE*>(value.bytes.data()), &size);
    }
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

// A REG_SZ value's text without its terminating zero; nullopt when missing,
// of another type or not ended by a zero.
inline std::optional<String> readRegistryString(const String& keyPath, const String& name) {
    const std::optional<RegistryValue> value = readRegistryValue(keyPath, name);
    if (!value || value->type != REG_SZ || value->bytes.size() % 2 != 0 || value->bytes.size() < 2) {
        return std::nullopt;
    }
    const auto* text = reinterpret_cast<const wchar_t*>(value->bytes.data());
    const std::size_t units = value->bytes.size() / 2 - 1;
    if (text[units] != L'\0') {
        return std::nullopt;
    }
    return String(text, text + units);
}

// A REG_DWORD value; nullopt when missing or of another type.
inline std::optional<std::uint32_t> readRegistryNumber(const String& keyPath, const String& name) {
    const std::optional<RegistryValue> value = readRegistryValue(keyPath, name);
    if (!value || value->type != REG_DWORD || value->bytes.size() != sizeof(DWORD)) {
        return std::nullopt;
    }
    DWORD number = 0;
    std::memcpy(&number, value->bytes.data(), sizeof(number));
    return number;
}

inline bool registryKeyExists(const String& keyPath) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.toWide().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// The key with everything under it; a missing key is fine.
inline void deleteRegistryTree(const String& keyPath) {
    RegDeleteTreeW(HKEY_CURRENT_USER, keyPath.toWide().c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, keyPath.toWide().c_str());
}

// A name no other test run uses at the same time.
inline String uniqueTestName(const char* base) {
    return String("%-%-%", base, GetCurrentProcessId(), GetTickCount64());
}

} // namespace cpp::test
