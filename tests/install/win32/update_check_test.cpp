#include "install/win32/update_check.h"

#include "cpp/debug_log.h"
#include "cpp/exception.h"
#include "cpp/program.h"
#include "cpp/thread.h"
#include "cpp/win32/loopback_http_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

namespace install {
namespace {

using cpp::String;
using cpp::test::LoopbackHttpServer;

class UpdateCheckTest : public ::testing::Test {
protected:
    // Whether the check at url showed the notice.
    bool check(const String& url) {
        int shown = 0;
        checkForUpdate(url, [&] { ++shown; });
        EXPECT_LE(shown, 1);
        return shown == 1;
    }

    bool checkServing(const String& versionFile) {
        server.respond(200, "OK", versionFile);
        return check(server.url("/version.txt"));
    }

    std::vector<String> logged() { return log->messages(program.logger()); }

    cpp::Program::Standard program{L""};
    std::shared_ptr<cpp::test::DebugLog> log = cpp::test::DebugLog::attach(program.logger());
    LoopbackHttpServer server;
};

// The comparison itself is Version's; here only what the check makes of a
// served file.
TEST_F(UpdateCheckTest, OnlyANewerReleaseShowsTheNoticeAndOnlyTheStartOfAHugeFileIsRead) {
    ASSERT_STREQ(TARNLET_VERSION, "1.1");
    EXPECT_FALSE(checkServing("1.1"));
    EXPECT_FALSE(checkServing("no release here"));
    EXPECT_TRUE(checkServing("latest: tarnlet 1.3 (2026-12-01)\r\n"));
    const std::string filler(1 << 20, '7');
    EXPECT_FALSE(checkServing(String(filler + " 2.0")));
    EXPECT_TRUE(checkServing(String("1.2 " + filler)));
    EXPECT_TRUE(logged().empty());
}

// A refused connection and a site that never answers are the HTTP layer's
// cases, and the whole program meets them in the update end-to-end checks.
TEST_F(UpdateCheckTest, AMissingVersionFileLogsOneErrorAndShowsNothing) {
    server.respond(404, "Not Found", "2.0");
    EXPECT_FALSE(check(server.url("/version.txt")));
    EXPECT_EQ(logged(), std::vector<String>{"Error: Not Found\n"});
}

TEST_F(UpdateCheckTest, AVersionFileThatNeverEndsTimesOut) {
    server.respond("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n2.0", true);
    EXPECT_FALSE(check(server.url("/version.txt")));
    EXPECT_EQ(logged(), std::vector<String>{"Error: The operation timed out\n"});
}

TEST_F(UpdateCheckTest, AnInterruptedCheckStopsItsThread) {
    server.staySilent();
    std::atomic<bool> interrupted{false};
    cpp::Thread worker([&] {
        try {
            check(server.url("/version.txt"));
        } catch (const cpp::InterruptException&) {
            interrupted = true;
        }
    });
    cpp::Thread::sleep(cpp::Duration::milliseconds(300));
    worker.interrupt();
    worker.join();
    EXPECT_TRUE(interrupted);
    EXPECT_TRUE(logged().empty());
}

TEST(UpdateUrl, TheCommandLineOverridesTheSite) {
    cpp::PropertyMap commandLine;
    EXPECT_EQ(updateUrl(commandLine), String("%/version.txt", TARNLET_SITE));
    commandLine.parseLine("--updateUrl");
    EXPECT_EQ(updateUrl(commandLine), String("%/version.txt", TARNLET_SITE));
    commandLine.parseLine("--updateUrl=http://127.0.0.1:8123/version.txt");
    EXPECT_EQ(updateUrl(commandLine), "http://127.0.0.1:8123/version.txt");
}

} // namespace
} // namespace install
