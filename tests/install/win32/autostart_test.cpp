#include "install/win32/autostart.h"

#include "install/win32/installation_fixture.h"

#include <gtest/gtest.h>

namespace install::test {
namespace {

using AutostartTest = InstallationTest;

TEST_F(AutostartTest, TheRunValueStartsTheInstalledProgramMinimizedAndGoesWhenTurnedOff) {
    const String command = String("\"%\" --minimized", installed().toString('\\'));
    EXPECT_EQ(startWithWindowsCommand(installation_), command);
    setStartWithWindows(true, installation_);
    EXPECT_EQ(runValue(), command);
    // Again, as every start does: still the one value.
    setStartWithWindows(true, installation_);
    EXPECT_EQ(runValue(), command);
    setStartWithWindows(false, installation_);
    EXPECT_FALSE(runValue());
    // Off when already off is no failure.
    EXPECT_NO_THROW(setStartWithWindows(false, installation_));
}

} // namespace
} // namespace install::test
