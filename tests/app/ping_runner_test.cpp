#include "app/ping_runner.h"
#include "app/host_registry.h"
#include "app/sample_store.h"
#include "app/no_data_directory.h"
#include "app/recording_view.h"
#include "cpp/debug_log.h"
#include "cpp/exception.h"
#include "cpp/oem_decoder.h"
#include "cpp/process_fixture.h"
#include "cpp/program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

using cpp::Duration;
using cpp::String;

namespace {

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
    HostRegistry& registry = *(registry_ = std::make_unique<HostRegistry>(store, systemClock(), program.bus(),
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
    EXPECT_FALSE(registry.record("runner-restart").enabled());
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

TEST_F(PingRunnerTest, EveryAttemptCountsInAnyLanguageAndEveryLineIsLoggedDecoded) {
    // Raw bytes in a code page: logged as the system's OEM code page reads
    // them, and a failed attempt whatever they decode to.
    cpp::test::writeScript("runner-languages", "0 Ping wird ausgef\xC3\xBChrt f\xC3\xBCr 127.0.0.1 mit 32 Bytes Daten:\n"
                                               "0 Antwort von 127.0.0.1: Bytes=32 Zeit=7ms TTL=128\n"
                                               "bytes 0 Zeit\\x81berschreitung der Anforderung.\n"
                                               "0 Reply from 127.0.0.1: Destination host unreachable.\n"
                                               "0 Respuesta desde 127.0.0.1: bytes=32 tiempo<1m TTL=128\n"
                                               "0 \n"
                                               "0 Ping-Statistik f\xC3\xBCr 127.0.0.1:\n"
                                               "0     Minimum = 1ms, Maximum = 7ms, Mittelwert = 4ms\n"
                                               "0 Reply from 127.0.0.1: bytes=32 time=2ms TTL=128\n"
                                               "hang\n");
    registry.enable("runner-languages");
    // The last reply comes after everything else has been read; the
    // registry numbers a run of losses.
    ASSERT_TRUE(eventually([&] { return view.updates.size() >= 5; }));
    program.poll();
    registry.disable("runner-languages");
    EXPECT_EQ(view.values(), (std::vector<std::int32_t>{7, -1, -2, 1, 2}));
    const std::vector<String> messages = logged();
    cpp::OemDecoder decoder;
    EXPECT_TRUE(has(messages, decoder.decodeAll("Ping wird ausgef\xC3\xBChrt f\xC3\xBCr 127.0.0.1 mit 32 Bytes Daten:")));
    EXPECT_TRUE(has(messages, decoder.decodeAll("Zeit\x81" "berschreitung der Anforderung.")));
    expectStopped(messages, "runner-languages");
}

TEST_F(PingRunnerTest, StoppingDuringThePauseStartsNoOtherChild) {
    registry_ = std::make_unique<HostRegistry>(store, systemClock(), program.bus(), options(Duration::seconds(3600)));
    HostRegistry& paused = *registry_;
    paused.setView(&view);
    cpp::test::writeScript("runner-pause", "0 Reply from 127.0.0.1: bytes=32 time=3ms TTL=128\nexit 1\n");
    paused.enable("runner-pause");
    ASSERT_TRUE(eventually([&] { return paused.record("runner-pause").run == RunState::restarting; }));
    ASSERT_TRUE(eventually([&] { return view.updates.size() >= 2; }));
    // Interrupted, not waited out: the pause is an hour.
    paused.disable("runner-pause");
    EXPECT_FALSE(paused.record("runner-pause").enabled());
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
    registry_ = std::make_unique<HostRegistry>(store, systemClock(), program.bus(),
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

// The restart pause goes through the registry's clock: an hour's pause
// passes at once on a clock that only counts it.
class PauseCountingClock : public Clock {
public:
    cpp::DateTime now() const override { return systemClock()->now(); }
    cpp::DateTime midnight(const cpp::DateTime& time) const override { return systemClock()->midnight(time); }
    void sleep(const Duration& duration) const override {
        {
            std::lock_guard lock(mutex_);
            pauses_.push_back(duration);
        }
        // Still an interruption point, as the runner's stop needs.
        cpp::Thread::sleep(Duration::milliseconds(1));
    }
    std::vector<Duration> pauses() const {
        std::lock_guard lock(mutex_);
        return pauses_;
    }

private:
    mutable std::mutex mutex_;
    mutable std::vector<Duration> pauses_;
};

TEST_F(PingRunnerTest, TheRestartPauseIsWaitedOnTheRegistrysClock) {
    const auto clock = std::make_shared<PauseCountingClock>();
    registry_ = std::make_unique<HostRegistry>(
        store, clock, program.bus(), PingRunner::Options{cpp::FilePath("/nonexistent/ping.exe"), Duration::hours(1)});
    HostRegistry& failing = *registry_;
    failing.setView(&view);
    failing.enable("runner-paused");
    ASSERT_TRUE(eventually([&] { return view.updates.size() >= 3; }));
    failing.stopAll();
    const std::vector<Duration> pauses = clock->pauses();
    ASSERT_GE(pauses.size(), 2u);
    for (const Duration& pause : pauses) {
        EXPECT_EQ(pause, Duration::hours(1));
    }
    expectStopped(logged(), "runner-paused");
}

} // namespace
