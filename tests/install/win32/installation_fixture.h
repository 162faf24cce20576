#pragma once

// Shared by the installer and uninstaller tests: an installation laid out in
// a throwaway folder, under a registry entry and a mutex of the test's own.

#include "install/win32/installation.h"

#include "cpp/command_line.h"
#include "cpp/file.h"
#include "cpp/process_fixture.h"
#include "cpp/property_map.h"
#include "cpp/string.h"
#include "cpp/temp_folder.h"
#include "cpp/thread.h"
#include "cpp/time.h"
#include "cpp/win32/registry_values.h"
#include "cpp/win32/shortcut_values.h"
#include "cpp/win32/uninstall_entry.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace install::test {

using cpp::File;
using cpp::FilePath;
using cpp::String;

class InstallationTest : public cpp::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        installation_.dataFolder = at("Local/tarnlet");
        installation_.temporaryFolder = at("Temp");
        installation_.shortcut = at("Start Menu/tarnlet.lnk");
        installation_.entryName = cpp::test::uniqueTestName("tarnlet-test");
        installation_.mutexName = installation_.entryName;
        installation_.runValueName = installation_.entryName;
        ASSERT_EQ(File::createDirectory(installation_.temporaryFolder), File::Status::Success);
        ASSERT_EQ(File::createDirectory(installation_.shortcut.parent()), File::Status::Success);
        ASSERT_EQ(File::createDirectory(downloads()), File::Status::Success);
    }
    void TearDown() override {
        cpp::test::deleteRegistryTree(entryPath());
        if (const HKEY run = openRunKey()) {
            RegDeleteValueW(run, installation_.runValueName.toWide().c_str());
            RegCloseKey(run);
        }
        TempFolderTest::TearDown();
    }

    FilePath downloads() const { return at("Downloads"); }
    FilePath installed() const { return installation_.installedExecutable(); }
    String entryPath() const { return cpp::uninstallEntryPath(installation_.entryName); }
    std::optional<String> runValue() const {
        return cpp::test::readRegistryString("Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                             installation_.runValueName);
    }
    static HKEY openRunKey() {
        HKEY key = nullptr;
        return RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                             KEY_SET_VALUE, &key) == ERROR_SUCCESS
                   ? key
                   : nullptr;
    }

    // A program file of the given contents in the download folder.
    FilePath downloaded(const std::string& bytes) const {
        const FilePath program(downloads(), "tarnlet.exe");
        writeFile(program, bytes);
        return program;
    }

    // As the program frame parses its command line.
    static cpp::PropertyMap arguments(const String& commandLine) {
        cpp::PropertyMap properties;
        properties.set("cmdline", commandLine);
        for (const String& argument : cpp::splitCommandLine(commandLine)) {
            properties.parseLine(argument);
        }
        return properties;
    }

    static bool sameText(const String& a, const String& b) {
        return CompareStringOrdinal(a.toWide().c_str(), -1, b.toWide().c_str(), -1, TRUE) == CSTR_EQUAL;
    }

    // The stand-in's record of the arguments it got, once it has the given
    // number of lines; fewer if it has not within 20 seconds.
    static std::vector<std::string> waitForRecord(const std::string& host, std::size_t lines) {
        const cpp::Stopwatch watch;
        std::vector<std::string> record = cpp::test::recordedArguments(host);
        while (record.size() < lines && watch.elapsed() < cpp::Duration::seconds(20)) {
            cpp::Thread::sleep(cpp::Duration::milliseconds(20));
            record = cpp::test::recordedArguments(host);
        }
        return record;
    }

    // A child may still be ending when its file is to go.
    static void removeWhenFree(const FilePath& path) {
        const cpp::Stopwatch watch;
        while (File::remove(path) == File::Status::Access && watch.elapsed() < cpp::Duration::seconds(10)) {
            cpp::Thread::sleep(cpp::Duration::milliseconds(50));
        }
    }

    Installation installation_;
};

// The ping stand-in's scripts folder goes with the run that made it.
class PingScriptsCleanup : public ::testing::Environment {
public:
    void TearDown() override { File::remove(cpp::test::pingScripts()); }
};

// Holds a file open the way a running program is held: it can be read but
// not deleted or replaced.
class HeldOpen {
public:
    explicit HeldOpen(const FilePath& path)
        : handle_(CreateFileW(path.toString('\\').toWide().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr)) {}
    ~HeldOpen() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;

    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

} // namespace install::test
