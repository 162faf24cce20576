#include "cpp/win32/uninstall_entry.h"

#include "cpp/win32/registry.h"

#include <utility>

namespace cpp {

String uninstallEntryPath(const String& keyName) {
    return String("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%", keyName);
}

void writeUninstallEntry(const String& keyName, const String& displayName, const String& uninstallString,
                         const String& installLocation, const String& publisher, const String& version,
                         const String& displayIcon) {
    RegistryKey key = RegistryKey::currentUser().create(uninstallEntryPath(keyName));
    // In this order; the list of installed programs reads them by name.
    const std::pair<const char*, const String*> texts[] = {
        {"DisplayName", &displayName}, {"UninstallString", &uninstallString}, {"InstallLocation", &installLocation},
        {"Publisher", &publisher},     {"Version", &version},                 {"DisplayIcon", &displayIcon},
    };
    for (const auto& [name, text] : texts) {
        if (!text->empty()) {
            key.setString(name, *text);
        }
    }
    key.setFlag("NoModify");
    key.setFlag("NoRepair");
    key.close();
}

void removeUninstallEntry(const String& keyName) {
    const String path = uninstallEntryPath(keyName);
    const RegistryKey root = RegistryKey::currentUser();
    if (!root.exists(path)) {
        return;
    }
    root.remove(path);
}

} // namespace cpp
