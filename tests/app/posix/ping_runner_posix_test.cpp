#include "app/host_registry.h"
#include "app/ping_runner.h"
#include "app/recording_view.h"
#include "app/sample_store.h"
#include "cpp/process_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Without a program of its own the runner starts ping.exe of the system
// folder, which here is the folder the environment names.
TEST(PingRunnerPosix, StartsPingOfTheSystemFolder) {
    const std::filesystem::path system = cpp::test::fsPath(cpp::test::pingScripts()) / "system32";
    std::filesystem::create_directories(system);
    std::filesystem::remove(system / "ping.exe");
    std::filesystem::create_symlink(std::string(TARNLET_SCRIPTED_PING), system / "ping.exe");
    ASSERT_EQ(setenv("TARNLET_FOLDER_SYSTEM", system.c_str(), 1), 0);
    EXPECT_EQ(PingRunner::systemPing().text(), (system / "ping.exe").string());

    cpp::test::writeScript("runner-system", "0 Reply from 127.0.0.1: bytes=32 time=8ms TTL=128\nhang\n");
    cpp::Bus bus = cpp::Bus::create(0, "test");
    SampleStore store;
    RecordingView view;
    HostRegistry registry(store, systemClock(), bus);
    registry.setView(&view);
    registry.enable("runner-system");
    const cpp::Stopwatch watch;
    while (view.updates.empty() && watch.elapsed() < cpp::Duration::seconds(20)) {
        bus.dispatchMain();
        cpp::Thread::sleep(cpp::Duration::milliseconds(5));
    }
    registry.stopAll();
    EXPECT_EQ(view.values(), std::vector<std::int32_t>{8});
    const std::vector<std::string> arguments = cpp::test::recordedArguments("runner-system");
    ASSERT_EQ(arguments.size(), 4u);
    EXPECT_EQ(arguments.at(1), "arg " + (system / "ping.exe").string());
    EXPECT_EQ(arguments.at(2), "arg -t");
    unsetenv("TARNLET_FOLDER_SYSTEM");
}

} // namespace
