#include "app/ping_runner.h"
#include "app/host_registry.h"
#include "app/sample_store.h"
#include "app/no_data_directory.h"
#include "app/recording_view.h"
#include "cpp/debug_log.h"
#include "cpp/exception.h"
#include "cpp/process_fixture.h"
#include "cpp/program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using cpp::Duration;
using cpp::String;

namespace {

TEST(PingRunnerClassify, RepliesLossesAndEverythingElse) {
    EXPECT_EQ(PingRunner::classify("Reply from 10.1.2.3: bytes=32 time=14ms TTL=57"), 14);
    EXPECT_EQ(PingRunner::classify("Reply from 127.0.0.1: bytes=32 time<1ms TTL=128"), 1);
    EXPECT_EQ(PingRunner::classify("Request timed out."), -1);
    EXPECT_EQ(PingRunner::classify("PING: transmit failed. General failure. "), -1);
    // The first pattern wins.
    EXPECT_EQ(PingRunner::classify("time=5ms but failed"), 5);
    EXPECT_EQ(PingRunner::classify("Reply from 10.0.0.1: Destination host unreachable."), std::nullopt);
    EXPECT_EQ(PingRunner::classify("Pinging example [10.0.0.1] with 32 bytes of data:"), std::nullopt);
    EXPECT_EQ(PingRunner::classify(""), std::nullopt);
    EXPECT_EQ(PingRunner::classify("    Minimum = 1ms, Maximum = 3ms, Average = 2ms"), std::nullopt);
    // Case matters, and so does the form of the time.
    EXPECT_EQ(PingRunner::classify("Request Timed Out"), std::nullopt);
    EXPECT_EQ(PingRunner::classify("time = 4ms"), std::nullopt);
    EXPECT_THROW(PingRunner::classify("time=99999999999999999999ms"), cpp::Exception);
    EXPECT_THROW(PingRunner::classify("time=3000000000ms"), cpp::Exception);
    // The leftmost place that matches counts.
    EXPECT_EQ(PingRunner::classify("timetime<3ms time=4ms"), 3);
    EXPECT_EQ(PingRunner::classify("time=ms time=x time=9m time=6ms"), 6);
}

TEST(PingRunnerClassify, AHugeLineIsClassifiedWithoutExhaustingTheStack) {
    // A regular expression engine that recursed per digit overflowed the
    // stack on the first of these.
    const std::string digits(1000000, '0');
    EXPECT_EQ(PingRunner::classify(String("time=" + digits + "7ms")), 7);
    EXPECT_THROW(PingRunner::classify(String("time=1" + digits + "ms")), cpp::Exception);
    EXPECT_EQ(PingRunner::classify(String(digits + " timed out")), -1);
    EXPECT_EQ(PingRunner::classify(String("time=" + digits)), std::nullopt);
}

class PingRunnerTest : public ::testing::Test {
protected:
    PingRunnerTest() {
        registry.setView(&view);
    }

    // Runs the window thread's tasks until the condition holds; false after
    // a generous bound.
    bool eventually(const std::function<bool()>& condition) {
        const cpp::Stopwatch watch;
        while (watch.elapsed() < Duration::seconds(20)) {
            program.poll();
            if (condition()) {
                return true;
            }
            cpp::Thread::sleep(Duration::milliseconds(5));
        }
        return false;
    }

    // Every debug message, once the logger has delivered them.
    std::vector<String> logged() { return log->messages(program.logger()); }

    static bool has(const std::vector<String>& messages, const String& message) {
        return std::find(messages.begin(), messages.end(), message) != messages.end();
    }

    // The runner's own last words, in this order and nothing of it after
    // them; the process layer may log around them.
    static void expectStopped(const std::vector<String>& messages, const String& host) {
        const auto stopping = std::find(messages.begin(), messages.end(), String("stopping: %", host));
        ASSERT_NE(stopping, messages.end());
        ASSERT_NE(stopping + 1, messages.end());
        EXPECT_EQ(*(stopping + 1), String("end: %", host));
        for (auto later = stopping + 2; later != messages.end(); ++later) {
            EXPECT_FALSE(later->starts_with("Reply") || later->starts_with("error: ")) << *later;
        }
    }

    PingRunner::Options options(Duration pause) const { return {cpp::test::scriptedPing(), pause}; }

    cpp::Program::Standard program{L""};
    std::shared_ptr<cpp::test::DebugLog> log = cpp::test::DebugLog::attach(program.logger());
    SampleStore store{systemClock(), noDataDirectory};
    RecordingView view;
    std::unique_ptr<HostRegistry> registry_;
    HostRegistry& registry = *(registry_ = std::make_unique<HostRegistry>(store, systemClock(), std::nullopt,
                                                                           options(Duration::milliseconds(50))));
};

TEST_F(PingRunnerTest, ChildThatEndsIsShownLostAndStartedAgainAfterThePause) {
    cpp::test::writeScript("runner-restart", "0 Pinging runner-restart with 32 bytes of data:\n"
                                             "0 Reply from 127.0.0.1: bytes=32 time=20ms TTL=128\n"
                                             "0 Request timed out.\n"
                                             "0 Reply from 127.0.0.1: bytes=32 time<1ms TTL=128\n"
                                             "exit 0\n");
    registry.enable("runner-restart");
    // Two passes: the runner's own -1 stands between them.
    ASSERT_TRUE(eventually([&] { return view.updates.size() >= 7; }));
    registry.disable("runner-restart");
    const std::vector<std::int32_t> seen = view.values();
    EXPECT_EQ(std::vector<std::int32_t>(seen.begin(), seen.begin() + 7),
              (std::vector<std::int32_t>{20, -1, 1, -1, 20, -1, 1}));
    EXPECT_EQ(registry.record("runner-restart").active, 0);
    const std::vector<std::string> arguments = cpp::test::recordedArguments("runner-restart");
    ASSERT_EQ(arguments.size(), 4u);
    EXPECT_EQ(arguments.at(2), "arg -t");
    EXPECT_EQ(arguments.at(3), "arg runner-restart");
    const std::vector<String> messages = logged();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), "begin: runner-restart");
    EXPECT_TRUE(has(messages, "Pinging runner-restart with 32 bytes of data:"));
    EXPECT_TRUE(has(messages, "Request timed out."));
    expectStopped(messages, "runner-restart");
}

TEST_F(PingRunnerTest, StoppingDuringThePauseStartsNoOtherChild) {
    registry_ = std::make_unique<HostRegistry>(store, systemClock(), std::nullopt, options(Duration::seconds(3600)));
    HostRegistry& paused = *registry_;
    paused.setView(&view);
    cpp::test::writeScript("runner-pause", "0 Reply from 127.0.0.1: bytes=32 time=3ms TTL=128\nexit 1\n");
    paused.enable("runner-pause");
    ASSERT_TRUE(eventually([&] { return paused.record("runner-pause").active == 2; }));
    ASSERT_TRUE(eventually([&] { return view.updates.size() >= 2; }));
    // Interrupted, not waited out: the pause is an hour.
    paused.disable("runner-pause");
    EXPECT_EQ(paused.record("runner-pause").active, 0);
    EXPECT_EQ(view.values(), (std::vector<std::int32_t>{3, -1}));
    const std::vector<String> messages = logged();
    EXPECT_EQ(std::count(messages.begin(), messages.end(), String("Reply from 127.0.0.1: bytes=32 time=3ms TTL=128")),
              1);
    expectStopped(messages, "runner-pause");
}

TEST_F(PingRunnerTest, HostTextIsPassedUnquotedAndRemovingTheHostEndsItsRunningChild) {
    cpp::test::writeScript("words", "0 Reply from 127.0.0.1: bytes=32 time=9ms TTL=128\nhang\n");
    registry.enable("two words");
    ASSERT_TRUE(eventually([&] { return !view.updates.empty(); }));
    registry.remove("two words");
    EXPECT_FALSE(registry.contains("two words"));
    program.poll();
    EXPECT_EQ(view.values(), (std::vector<std::int32_t>{9}));
    const std::vector<std::string> arguments = cpp::test::recordedArguments("words");
    ASSERT_EQ(arguments.size(), 5u);
    EXPECT_EQ(arguments.at(2), "arg -t");
    EXPECT_EQ(arguments.at(3), "arg two");
    EXPECT_EQ(arguments.at(4), "arg words");
    expectStopped(logged(), "two words");
}

TEST_F(PingRunnerTest, ProgramThatCannotStartIsLoggedAndRetried) {
    registry_ = std::make_unique<HostRegistry>(store, systemClock(), std::nullopt,
                                               PingRunner::Options{cpp::FilePath("/nonexistent/ping.exe"),
                                                                   Duration::milliseconds(20)});
    HostRegistry& failing = *registry_;
    failing.setView(&view);
    failing.enable("runner-missing");
    ASSERT_TRUE(eventually([&] { return view.updates.size() >= 2; }));
    failing.stopAll();
    for (const auto& update : view.updates) {
        EXPECT_EQ(update.second, -1);
    }
    const std::vector<String> messages = logged();
    EXPECT_GE(std::count_if(messages.begin(), messages.end(), [](const String& m) { return m.starts_with("error: "); }),
              2);
    expectStopped(messages, "runner-missing");
}

} // namespace
