// The ICMP stand-in for ping.exe, as the runner reads it. Only loopback is
// ever pinged; the refusals send nothing at all.

#include "app/ping_output.h"
#include "cpp/file_path.h"
#include "cpp/line_reader.h"
#include "cpp/process.h"
#include "cpp/process_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using cpp::Duration;
using cpp::String;

cpp::Process startIcmpPing(const String& arguments) {
    return cpp::Process::startWithPipes(cpp::FilePath(TARNLET_ICMP_PING), arguments, cpp::FilePath());
}

TEST(IcmpPing, AnswersEveryHostButLoopbackAsUnknown) {
    for (const char* host : {"10.0.0.1", "8.8.8.8", "example.org", "localhost.example.org", "127.1", "0.0.0.0", "::2",
                             "::ffff:127.0.0.1"}) {
        const cpp::Process ping = startIcmpPing(String("-t %", host));
        EXPECT_EQ(cpp::test::readLines(ping.output()),
                  std::vector<std::string>{
                      String("Ping request could not find host %. Please check the name and try again.", host)});
        ASSERT_TRUE(cpp::test::waitForEnd(ping));
        EXPECT_EQ(ping.exitCode(), 1u) << host;
    }
}

TEST(IcmpPing, PingsLoopbackOnceASecondInLinesTheRunnerReads) {
    const cpp::Process ping = startIcmpPing("-t 127.0.0.1");
    cpp::LineReader reader(ping.output(), 4096, Duration::seconds(20));
    std::vector<String> lines;
    for (auto line = reader.begin(); line != reader.end() && lines.size() < 4; ++line) {
        ASSERT_TRUE(line->hasLine());
        lines.emplace_back(line->text);
    }
    ping.terminate();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "Pinging 127.0.0.1 with 32 bytes of data:");
    // A reply where the system lets the echo out (Wine needs the right to
    // open ICMP sockets), a lost reply otherwise; never an unreadable line.
    PingOutput output;
    EXPECT_EQ(output.classify(lines[0]), std::nullopt);
    EXPECT_EQ(output.classify(lines[1]), std::nullopt);
    for (std::size_t i = 2; i < lines.size(); ++i) {
        EXPECT_TRUE(output.classify(lines[i]).has_value()) << lines[i];
        if (lines[i].starts_with("Reply")) {
            EXPECT_TRUE(lines[i].starts_with("Reply from 127.0.0.1: bytes=32 time")) << lines[i];
        }
    }
}

} // namespace
