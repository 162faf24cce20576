#pragma once

#include "cpp/string.h"
#include "cpp/win32/unique_handle.h"

#include <cstdint>

namespace cpp {

// A registry key handle. The current user's root is predefined by the system
// and never closed; keys made by create or open are owned and closed once.
// Move-only.
class RegistryKey {
public:
    RegistryKey() = default;

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
    void close() noexcept { key_.reset(); }

    // The HKEY, for reading values back; null when empty.
    HKEY handle() const { return key_.get(); }

private:
    explicit RegistryKey(HKEY key) : key_(key) {}

    windows::UniqueRegistryKey key_;
};

} // namespace cpp
