#include "cpp/win32/uninstall_entry.h"

#include "cpp/win32/registry.h"

#include <utility>

namespace cpp {

String uninstallEntryPath(const String& keyName) {
    return String("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%", keyName);
}

void writeUninstallEntry(const String& keyName, const UninstallEntry& entry) {
    RegistryKey key = RegistryKey::currentUser().create(uninstallEntryPath(keyName));
    // In this order; the list of installed programs reads them by name.
    const std::pair<const char*, const String*> texts[] = {
        {"DisplayName", &entry.displayName}, {"UninstallString", &entry.uninstallString},
        {"InstallLocation", &entry.installLocation}, {"Publisher", &entry.publisher},
        {"Version", &entry.version}, {"DisplayVersion", &entry.version},
        {"DisplayIcon", &entry.displayIcon},
    };
    for (const auto& [name, text] : texts) {
        if (!text->empty()) {
            key.setString(name, *text);
        }
    }
    if (entry.estimatedSizeKib != 0)
        key.setNumber("EstimatedSize", entry.estimatedSizeKib);
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
