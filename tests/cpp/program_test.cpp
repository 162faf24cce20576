#include "cpp/program.h"

#include "cpp/thread.h"

#include <gtest/gtest.h>

namespace cpp::Program {
namespace {

String property(const Standard& program, const char* key) {
    const TextSpan value = program.properties().get(key);
    return value.begin() ? String(value) : String("<absent>");
}

TEST(ProgramFrame, CommandLineBecomesArgumentsAndFlags) {
    const wchar_t* line = L"--uninstall --updateUrl=http://127.0.0.1:8000/version.txt \"b c\"";
    const Standard program(line);
    EXPECT_EQ(property(program, "cmdline"), String(std::wstring(line)));
    EXPECT_EQ(property(program, "argc"), "3");
    EXPECT_EQ(property(program, "arg[0]"), "--uninstall");
    EXPECT_EQ(property(program, "arg[2]"), "b c");
    EXPECT_EQ(property(program, "arg[3]"), "<absent>");
    EXPECT_EQ(property(program, "--uninstall"), "");
    EXPECT_EQ(property(program, "--updateUrl"), "http://127.0.0.1:8000/version.txt");
    EXPECT_EQ(property(program, "--noInstall"), "<absent>");
}

TEST(ProgramFrame, EmptyCommandLineAndTheProgramsFileAndStartDirectory) {
    const Standard program(L"");
    EXPECT_EQ(property(program, "cmdline"), "");
    EXPECT_EQ(property(program, "argc"), "0");
    EXPECT_TRUE(String(program.programPath().fileName()).starts_with("cpp_tests")) << program.programPath().text();
    EXPECT_FALSE(program.currentDirectory().empty());
    EXPECT_EQ(FilePath::workingDirectory(), program.currentDirectory());
}

TEST(ProgramFrame, CurrentProgramIsPerThreadWithProcessFallback) {
    ASSERT_EQ(current(), nullptr);
    {
        Standard first(L"");
        EXPECT_EQ(current(), &first);
        Standard* seenByOtherThread = nullptr;
        Thread([&] { seenByOtherThread = current(); }).join();
        EXPECT_EQ(seenByOtherThread, &first);

        Standard* second = nullptr;
        Standard* secondSeenByItsThread = nullptr;
        Thread([&] {
            Standard own(L"");
            second = &own;
            secondSeenByItsThread = current();
        }).join();
        EXPECT_EQ(secondSeenByItsThread, second);
        EXPECT_EQ(current(), &first);
    }
    EXPECT_EQ(current(), nullptr);
}

TEST(ProgramFrame, LogReachesTheCurrentProgramsLogger) {
    struct Recording : LogFilter {
        std::mutex mutex;
        std::vector<std::pair<std::int32_t, String>> entries;
        void log(const DateTime&, std::int32_t severity, const String& category, const String& message) override {
            std::lock_guard lock(mutex);
            entries.emplace_back(severity, category + "/" + message);
        }
    };
    auto filter = std::make_shared<Recording>();
    {
        Standard program(L"");
        program.logger().addFilter(filter);
        debug("from debug");
        warning("from warning");
        log(3, "net", "from log");
    }
    debug("nobody listens");
    using Entries = std::vector<std::pair<std::int32_t, String>>;
    EXPECT_EQ(filter->entries, (Entries{{7, "/from debug"}, {4, "/from warning"}, {3, "net/from log"}}));
}

TEST(ProgramFrame, PollRunsDueTasks) {
    Standard program(L"");
    int ran = 0;
    program.bus().post([&] { ++ran; });
    EXPECT_TRUE(program.pump(Time() + Duration::seconds(5)));
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(program.poll());
    EXPECT_EQ(ran, 1);
}

} // namespace
} // namespace cpp::Program
