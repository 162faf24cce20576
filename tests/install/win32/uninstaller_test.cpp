#include "install/win32/uninstaller.h"

#include "install/win32/autostart.h"
#include "install/win32/installation_fixture.h"
#include "install/win32/installer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace install::test {
namespace {

using cpp::test::registryKeyExists;

// What the uninstall window would have been told, in order.
class RecordedProgress : public UninstallProgress {
public:
    void show() override { events.push_back("show"); }
    void setStatus(const String& text) override { events.push_back("status " + text); }
    void finished() override { events.push_back("finished"); }

    std::vector<std::string> events;
};

class UninstallerTest : public InstallationTest {
protected:
    void SetUp() override {
        InstallationTest::SetUp();
        install(arguments(""), downloaded("build"), installation_);
        writeFile(FilePath(installation_.dataFolder, "config.txt"), "hosts 127.0.0.1");
        writeFile(FilePath(installation_.dataFolder, "127.0.0.1.txt"), "rows");
        ASSERT_TRUE(File::exists(installation_.shortcut));
        ASSERT_TRUE(registryKeyExists(entryPath()));
    }

    // Runs from where the installed program puts its copy.
    void uninstallFromCopy() {
        writeFile(installation_.uninstallerCopy(), "build");
        uninstall(installation_.uninstallerCopy(), progress_, installation_, tellUser_);
    }

    cpp::test::ComApartment apartment_;
    RecordedProgress progress_;
    std::vector<std::string> told_;
    const TellUser tellUser_ = [this](const String& text) { told_.push_back(text); };
};

// The whole path and the hand-over to the temporary folder run at the real
// locations in install_e2e.sh.
TEST_F(UninstallerTest, APartlyRemovedInstallationIsRemovedTheRestOfTheWay) {
    ASSERT_EQ(File::remove(installed()), File::Status::Success);
    ASSERT_EQ(File::remove(installation_.shortcut), File::Status::Success);
    cpp::test::deleteRegistryTree(entryPath());
    setStartWithWindows(true, installation_);
    uninstallFromCopy();
    EXPECT_FALSE(File::exists(installation_.dataFolder));
    EXPECT_FALSE(runValue());
    EXPECT_EQ(progress_.events, (std::vector<std::string>{"show", "status tarnlet has been successfully uninstalled",
                                                          "finished"}));
    EXPECT_TRUE(told_.empty());
    // The copy it runs from is not its to remove.
    EXPECT_TRUE(File::exists(installation_.uninstallerCopy()));
}

TEST_F(UninstallerTest, AnInstalledProgramInUseEndsWithTheMessageAfterThreeTriesAndKeepsTheData) {
    const HeldOpen running(installed());
    ASSERT_TRUE(running.held());
    const cpp::Stopwatch watch;
    EXPECT_THROW(uninstallFromCopy(), cpp::InterruptException);
    EXPECT_GE(watch.elapsed(), cpp::Duration::milliseconds(2500));
    EXPECT_EQ(told_, std::vector<std::string>{"Unable to uninstall when the application is in use."});
    EXPECT_EQ(progress_.events, std::vector<std::string>{"show"});
    EXPECT_EQ(readFile(FilePath(installation_.dataFolder, "127.0.0.1.txt")), "rows");
    EXPECT_TRUE(File::exists(installation_.shortcut));
    EXPECT_TRUE(registryKeyExists(entryPath()));
}

} // namespace
} // namespace install::test
