#include "install/win32/installation.h"

#include "cpp/file.h"
#include "cpp/known_folder.h"

#include <windows.h>

namespace install {

namespace {

constexpr const char* programFileName = TARNLET_NAME ".exe";

} // namespace

cpp::FilePath currentDataFolder() {
    return cpp::FilePath(cpp::knownFolder(cpp::KnownFolder::LocalAppData), TARNLET_NAME);
}

Installation Installation::forCurrentUser() {
    Installation installation;
    installation.dataFolder = currentDataFolder();
    installation.temporaryFolder = cpp::FilePath::temp();
    installation.shortcut = cpp::FilePath(cpp::knownFolder(cpp::KnownFolder::StartMenu), TARNLET_NAME ".lnk");
    installation.entryName = TARNLET_NAME;
    installation.mutexName = TARNLET_NAME;
    installation.runValueName = TARNLET_NAME;
    return installation;
}

cpp::FilePath Installation::configFile() const {
    return cpp::FilePath(dataFolder, "config.txt");
}

cpp::FilePath Installation::logFile() const {
    return cpp::FilePath(dataFolder, TARNLET_NAME ".log");
}

cpp::FilePath Installation::installedExecutable() const {
    return cpp::FilePath(dataFolder, programFileName);
}

cpp::FilePath Installation::replacementExecutable() const {
    return cpp::FilePath(dataFolder, "_" TARNLET_NAME ".exe");
}

cpp::FilePath Installation::olderDataFolder() const {
    return cpp::FilePath(temporaryFolder, TARNLET_NAME);
}

cpp::FilePath Installation::uninstallerCopy() const {
    return cpp::FilePath(temporaryFolder, programFileName);
}

void copyProgram(const cpp::FilePath& from, const cpp::FilePath& to) {
    const cpp::File::Status status = cpp::File::copy(from, to);
    if (status != cpp::File::Status::Success) {
        throw cpp::File::Exception(cpp::String("Unable to copy % to %: %", from, to, status),
                                   static_cast<std::int32_t>(status));
    }
}

bool samePath(const cpp::FilePath& a, const cpp::FilePath& b) {
    const std::wstring wideA = a.text().toWide();
    const std::wstring wideB = b.text().toWide();
    return CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                                static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}

} // namespace install
