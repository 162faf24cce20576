#include "install/win32/autostart.h"

#include "cpp/exception.h"
#include "cpp/logger.h"
#include "cpp/win32/registry.h"

namespace install {

cpp::String startWithWindowsCommand(const Installation& installation) {
    return cpp::String("\"%\" --minimized", installation.installedExecutable().toString('\\'));
}

void setStartWithWindows(bool on, const Installation& installation) {
    try {
        const cpp::RegistryKey root = cpp::RegistryKey::currentUser();
        if (on) {
            root.create(runKeyPath).setString(installation.runValueName, startWithWindowsCommand(installation));
        } else if (root.exists(runKeyPath)) {
            root.open(runKeyPath).removeValue(installation.runValueName);
        }
    } catch (const cpp::Exception& failure) {
        cpp::warning(cpp::String("Unable to change the start with Windows: %", failure.what()));
    }
}

} // namespace install
