#include "install/win32/installer.h"

#include "cpp/process_fixture.h"
#include "install/win32/installation_fixture.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace install::test {
namespace {

using cpp::test::readRegistryNumber;
using cpp::test::readRegistryString;
using cpp::test::readShortcut;
using cpp::test::registryKeyExists;

const auto* const pingScriptsCleanup = ::testing::AddGlobalTestEnvironment(new PingScriptsCleanup);

class InstallerTest : public InstallationTest {
protected:
    cpp::test::ComApartment apartment_;
};

TEST_F(InstallerTest, FirstStartFromADownloadFolderInstallsEverything) {
    const std::string build = "MZ build 1.1 \r\n\0 bytes";
    const FilePath program = downloaded(build);
    install(arguments(""), program, installation_);

    // The program goes on from the download folder, which keeps its file.
    EXPECT_EQ(readFile(program), build);
    EXPECT_EQ(readFile(installed()), build);

    const std::optional<cpp::test::ShortcutValues> shortcut = readShortcut(installation_.shortcut);
    ASSERT_TRUE(shortcut);
    const String installedText = installed().toString('\\');
    EXPECT_EQ(shortcut->target, installedText);
    EXPECT_EQ(shortcut->workingDirectory, installation_.dataFolder.toString('\\'));
    EXPECT_EQ(shortcut->arguments, String());
    EXPECT_EQ(shortcut->description, String("tarnlet"));
    EXPECT_EQ(shortcut->iconPath, installedText);
    EXPECT_EQ(shortcut->iconIndex, 0);

    // Every value of the entry, with its type.
    const String entry = entryPath();
    EXPECT_EQ(readRegistryString(entry, "DisplayName"), String("tarnlet 1.1"));
    EXPECT_EQ(readRegistryString(entry, "UninstallString"), String("% --uninstall", installedText));
    EXPECT_EQ(readRegistryString(entry, "InstallLocation"), installation_.dataFolder.toString('\\'));
    EXPECT_EQ(readRegistryString(entry, "Publisher"), String("Brackwater Inc."));
    EXPECT_EQ(readRegistryString(entry, "Version"), String("1.1"));
    EXPECT_EQ(readRegistryString(entry, "DisplayVersion"), String("1.1"));
    EXPECT_EQ(readRegistryString(entry, "DisplayIcon"), String("%, 0", installedText));
    // A build of a few bytes takes a whole KiB.
    EXPECT_EQ(readRegistryNumber(entry, "EstimatedSize"), 1u);
    EXPECT_EQ(readRegistryNumber(entry, "NoModify"), 1u);
    EXPECT_EQ(readRegistryNumber(entry, "NoRepair"), 1u);
}

TEST_F(InstallerTest, NoInstallLeavesFilesAndRegistryUntouched) {
    writeFile(FilePath(installation_.olderDataFolder(), "old.txt"), "old");
    writeFile(installation_.uninstallerCopy(), "left behind");
    const FilePath program = downloaded("build");
    install(arguments("--noInstall"), program, installation_);
    install(arguments("--verbose --noInstall=yes"), program, installation_);

    EXPECT_FALSE(File::exists(installation_.dataFolder));
    EXPECT_FALSE(File::exists(installation_.shortcut));
    EXPECT_FALSE(registryKeyExists(entryPath()));
    EXPECT_EQ(readFile(FilePath(installation_.olderDataFolder(), "old.txt")), "old");
    EXPECT_EQ(readFile(installation_.uninstallerCopy()), "left behind");
}

TEST_F(InstallerTest, SameBuildFromElsewhereOnlyRefreshesEntryAndMissingShortcut) {
    writeFile(installed(), "build");
    writeFile(installation_.replacementExecutable(), "newer build");
    const FilePath program = downloaded("build");
    install(arguments(""), program, installation_);
    EXPECT_EQ(readFile(installation_.replacementExecutable()), "newer build");
    EXPECT_TRUE(readShortcut(installation_.shortcut));

    // A shortcut that is there is the user's to keep, even when it is not ours.
    writeFile(installation_.shortcut, "the user's own");
    cpp::test::deleteRegistryTree(entryPath());
    install(arguments(""), program, installation_);
    EXPECT_EQ(readFile(installation_.shortcut), "the user's own");
    EXPECT_EQ(readRegistryString(entryPath(), "Publisher"), String("Brackwater Inc."));
}

TEST_F(InstallerTest, DifferentBuildReplacesTheInstalledOneAndItsReplacement) {
    writeFile(installed(), "old build, longer than the new one");
    writeFile(installation_.replacementExecutable(), "old replacement");
    const FilePath program = downloaded("new build");
    install(arguments(""), program, installation_);
    EXPECT_EQ(readFile(installed()), "new build");
    EXPECT_FALSE(File::exists(installation_.replacementExecutable()));
}

TEST_F(InstallerTest, AnInstalledProgramInUseFailsWithAnIOError) {
    writeFile(installed(), "running build");
    const HeldOpen running(installed());
    ASSERT_TRUE(running.held());
    const FilePath program = downloaded("new build");
    EXPECT_THROW(install(arguments(""), program, installation_), cpp::IOException);
    EXPECT_EQ(readFile(installed()), "running build");
    EXPECT_FALSE(registryKeyExists(entryPath()));
}

TEST_F(InstallerTest, OlderDataMovesInWithoutOverwritingAndTheOlderFolderGoes) {
    const FilePath older = installation_.olderDataFolder();
    writeFile(FilePath(older, "8.8.8.8.txt"), "older rows");
    writeFile(FilePath(older, "config.txt"), "hosts older");
    writeFile(FilePath(installation_.dataFolder, "config.txt"), "hosts newer");
    install(arguments(""), downloaded("build"), installation_);
    EXPECT_EQ(readFile(FilePath(installation_.dataFolder, "8.8.8.8.txt")), "older rows");
    EXPECT_EQ(readFile(FilePath(installation_.dataFolder, "config.txt")), "hosts newer");
    EXPECT_FALSE(File::exists(older));
}

TEST_F(InstallerTest, AFileWhereTheOlderFolderWasIsLeftAlone) {
    writeFile(installation_.olderDataFolder(), "not a folder of ours");
    install(arguments(""), downloaded("build"), installation_);
    EXPECT_EQ(readFile(installation_.olderDataFolder()), "not a folder of ours");
    EXPECT_TRUE(registryKeyExists(entryPath()));
}

TEST_F(InstallerTest, TheUninstallersCopyGoesUnlessItIsWhatRuns) {
    writeFile(installation_.uninstallerCopy(), "left behind");
    install(arguments(""), downloaded("build"), installation_);
    EXPECT_FALSE(File::exists(installation_.uninstallerCopy()));

    // Started from the temporary folder, it is the program itself.
    writeFile(installation_.uninstallerCopy(), "build");
    install(arguments(""), installation_.uninstallerCopy(), installation_);
    EXPECT_EQ(readFile(installation_.uninstallerCopy()), "build");
}

TEST_F(InstallerTest, ABlankInThePathQuotesTheUninstallCommand) {
    installation_.dataFolder = at("Local Data/tarnlet");
    install(arguments(""), downloaded("build"), installation_);
    EXPECT_EQ(readRegistryString(entryPath(), "UninstallString"),
              String("\"%\" --uninstall", installed().toString('\\')));
    EXPECT_EQ(readRegistryString(entryPath(), "DisplayIcon"), String("%, 0", installed().toString('\\')));
}

TEST_F(InstallerTest, TheInstalledProgramHandsOverToADifferentReplacement) {
    writeFile(installed(), "build");
    ASSERT_EQ(File::copy(cpp::test::scriptedPing(), installation_.replacementExecutable()), File::Status::Success);
    // The stand-in records under the name of its last argument.
    const std::string host = cpp::test::uniqueTestName("handover");
    cpp::test::writeScript(host, "exit 0\n");
    const String commandLine("--verbose \"two words\" %", host);
    EXPECT_THROW(install(arguments(commandLine), installed(), installation_), cpp::InterruptException);

    const std::vector<std::string> lines = waitForRecord(host, 5);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_TRUE(sameText(String(lines[0]), String("cwd %", installation_.dataFolder.toString('\\')))) << lines[0];
    EXPECT_TRUE(sameText(String(lines[1]), String("arg %", installation_.replacementExecutable().toString('\\'))))
        << lines[1];
    EXPECT_EQ(lines[2], "arg --verbose");
    EXPECT_EQ(lines[3], "arg two words");
    EXPECT_EQ(lines[4], String("arg %", host));
    EXPECT_EQ(readFile(installed()), "build");

    // The replacement's own install step waits until this run has ended.
    std::thread other([&] {
        HANDLE mutex = CreateMutexW(nullptr, FALSE, installation_.mutexName.toWide().c_str());
        ASSERT_NE(mutex, nullptr);
        EXPECT_EQ(WaitForSingleObject(mutex, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        CloseHandle(mutex);
    });
    other.join();
    removeWhenFree(installation_.replacementExecutable());
}

TEST_F(InstallerTest, AReplacementThatCannotStartLeavesTheInstalledProgramRunning) {
    writeFile(installed(), "build");
    writeFile(installation_.replacementExecutable(), "MZ cut short");
    install(arguments(""), installed(), installation_);
    EXPECT_EQ(readFile(installation_.replacementExecutable()), "MZ cut short");
    EXPECT_EQ(readFile(installed()), "build");
}

// Another start's install mutex, held on a thread of its own until the
// holder goes, or left abandoned by a thread that ended holding it.
class MutexHolder {
public:
    MutexHolder(const String& name, bool abandon) {
        thread_ = std::thread([this, name, abandon, release = release_.get_future()] {
            handle_ = CreateMutexW(nullptr, TRUE, name.toWide().c_str());
            held_.set_value();
            if (!abandon) {
                release.wait();
            }
        });
        held_.get_future().wait();
        if (abandon) {
            thread_.join();
        }
    }
    ~MutexHolder() {
        release_.set_value();
        if (thread_.joinable()) {
            thread_.join();
        }
        CloseHandle(handle_);
    }
    MutexHolder(const MutexHolder&) = delete;
    MutexHolder& operator=(const MutexHolder&) = delete;

private:
    std::promise<void> held_;
    std::promise<void> release_;
    HANDLE handle_ = nullptr;
    std::thread thread_;
};

TEST_F(InstallerTest, AnotherStartHoldingTheMutexFailsItAfterFiveSeconds) {
    const MutexHolder other(installation_.mutexName, false);
    const cpp::Stopwatch watch;
    try {
        install(arguments(""), downloaded("build"), installation_);
        FAIL() << "no exception";
    } catch (const cpp::Exception& error) {
        EXPECT_STREQ(error.what(), "Error occured while trying to install corvash.");
    }
    EXPECT_GE(watch.elapsed(), cpp::Duration::milliseconds(4500));
    EXPECT_FALSE(File::exists(installation_.dataFolder));
}

TEST_F(InstallerTest, AMutexLeftByAnEndedStartIsTakenOver) {
    const MutexHolder ended(installation_.mutexName, true);
    install(arguments(""), downloaded("build"), installation_);
    EXPECT_EQ(readFile(installed()), "build");
}

} // namespace
} // namespace install::test
