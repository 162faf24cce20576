#pragma once

#include "cpp/string.h"

#include <cstdint>

namespace cpp {

// A registry key handle. The current user's root is predefined by the system
// and never closed; keys made by create or open are owned and closed once.
// Movable, not copyable.
class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey();

    // HKEY_CURRENT_USER, not owned.
    static RegistryKey currentUser();

    // The subkey opened for writing, made first when missing; its values
    // stay. Throws cpp::windows::Exception when the system refuses.
    RegistryKey create(const String& subkey) const;
    // An existing subkey with all access. Throws cpp::windows::Exception
    // when it is missing or refused.
    RegistryKey open(const String& subkey) const;
    // Whether open would succeed; never throws.
    bool exists(const String& subkey) const;
    // Removes a subkey that has no subkeys of its own. Throws
    // cpp::windows::Exception when the system refuses.
    void remove(const String& subkey) const;

    // A REG_SZ value. Failures are not reported: the values are informative
    // and a missing one harms nobody.
    void setString(const String& name, const String& value) const;
    // A REG_DWORD value of 1; failures not reported, as for setString.
    void setFlag(const String& name) const { setNumber(name, 1); }
    // A REG_DWORD value; failures not reported, as for setString.
    void setNumber(const String& name, std::uint32_t value) const;
    // Removes a value; one that is not there is no failure. Throws
    // cpp::windows::Exception when the system refuses.
    void removeValue(const String& name) const;

    // Closes an owned key; later calls do nothing.
    void close() noexcept;

    // The HKEY, for reading values back; null when empty.
    void* handle() const { return handle_; }

private:
    RegistryKey(void* handle, bool owned) : handle_(handle), owned_(owned) {}

    void* handle_ = nullptr;
    bool owned_ = false;
};

} // namespace cpp
