#include "cpp/process.h"

#include "cpp/exception.h"
#include "cpp/line_reader.h"
#include "cpp/process_fixture.h"
#include "cpp/thread.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace cpp {
namespace {

using test::pingScripts;
using test::readLines;
using test::recordedArguments;
using test::scriptedPing;
using test::waitForEnd;
using test::writeScript;

// Plays script as the stand-in's answer for host.
Process startScripted(const std::string& host, const std::string& script) {
    writeScript(host, script);
    return Process::startWithPipes(scriptedPing(), String("-t %", host), FilePath());
}

// Everything the input delivers up to its end, bytes as they came.
std::string readBytes(const Input& input) {
    std::string bytes;
    ByteReader reader(input, 4096, Duration::seconds(20));
    for (const ByteReader::Chunk& chunk : reader) {
        if (chunk.bytes.empty()) {
            ADD_FAILURE() << "no bytes within the bound";
            break;
        }
        bytes.append(chunk.bytes.view());
    }
    return bytes;
}

TEST(ScriptedPing, PlaysTheScriptWithCrLfAndEndsWithItsExitCode) {
    const Process ping = startScripted("play.test", "# a comment\n"
                                                    "0 Pinging play.test [127.0.0.1] with 32 bytes of data:\n"
                                                    "10 Reply from 127.0.0.1: bytes=32 time<1ms TTL=128\r\n"
                                                    "\n"
                                                    "10 Request timed out.\n"
                                                    "0 General failure.\n"
                                                    "0 \n"
                                                    "exit 3\n"
                                                    "0 never written\n");
    EXPECT_EQ(readBytes(ping.output()), "Pinging play.test [127.0.0.1] with 32 bytes of data:\r\n"
                                        "Reply from 127.0.0.1: bytes=32 time<1ms TTL=128\r\n"
                                        "Request timed out.\r\n"
                                        "General failure.\r\n"
                                        "\r\n");
    ASSERT_TRUE(waitForEnd(ping));
    EXPECT_EQ(ping.exitCode(), 3u);
}

TEST(ScriptedPing, AnswersAnUnknownHostWithoutAScript) {
    const Process ping = Process::startWithPipes(scriptedPing(), "-t no-script.test", FilePath());
    EXPECT_EQ(readLines(ping.output()),
              std::vector<std::string>{
                  "Ping request could not find host no-script.test. Please check the name and try again."});
    ASSERT_TRUE(waitForEnd(ping));
    EXPECT_EQ(ping.exitCode(), 1u);
}

TEST(Process, OneLineAndAnExitAtOnceStillDeliversTheLine) {
    const std::string line = "Reply from 127.0.0.1: bytes=32 time<1ms TTL=128";
    const std::string script = "0 " + line + "\nexit 0\n";
    EXPECT_EQ(readLines(startScripted("one-line.test", script).output()), std::vector<std::string>{line});
    // Asked for only after the child has gone: its line must not be lost.
    const Process child = startScripted("one-line.test", script);
    ASSERT_TRUE(waitForEnd(child));
    EXPECT_EQ(readLines(child.output()), std::vector<std::string>{line});
    EXPECT_EQ(child.exitCode(), 0u);
}

TEST(Process, OutputAfterASilentEndIsEmptyAndRecordsTheExitCode) {
    const Process child = startScripted("silent.test", "exit 7\n");
    // Through the output pipe, not the exit code, so the end is fully seen.
    EXPECT_TRUE(readLines(child.output()).empty());
    const Stopwatch watch;
    Input output = child.output();
    while (output && watch.elapsed() < Duration::seconds(20)) {
        Thread::sleep(Duration::milliseconds(10));
        output = child.output();
    }
    EXPECT_FALSE(output);
    EXPECT_FALSE(output.isOpen());
    EXPECT_EQ(child.exitCode(), 7u);
    EXPECT_FALSE(child.running());
    EXPECT_EQ(child.id(), 0u);
}

TEST(Process, DroppingTheLastHandleEndsARunningChild) {
    Input output;
    std::uint64_t id = 0;
    {
        const Process child = startScripted("hang.test", "0 started\nhang\n");
        output = child.output();
        id = child.id();
        const Process copy = child;
        LineReader reader(output, 4096, Duration::seconds(20));
        const auto line = reader.next();
        ASSERT_TRUE(line && line->hasLine());
        EXPECT_EQ(line->text.view(), "started");
        EXPECT_TRUE(copy.running());
    }
    // The child's end of the pipe went with it.
    EXPECT_TRUE(readLines(output).empty());
    EXPECT_FALSE(output.isOpen());
    EXPECT_FALSE(test::processAlive(id));
}

TEST(Process, TerminateEndsTheChildAndTheOutput) {
    const Process child = startScripted("terminate.test", "hang\n");
    const Input output = child.output();
    EXPECT_TRUE(child.running());
    // A silent child: a bounded read gives nothing, and the input stays open.
    char bytes[16];
    EXPECT_TRUE(output.read(bytes, Duration::milliseconds(50)).empty());
    EXPECT_TRUE(output.isOpen());
    child.terminate();
    EXPECT_FALSE(child.running());
    EXPECT_TRUE(readLines(output).empty());
    child.terminate(); // nothing left to end
}

TEST(Process, CloseLetsTheChildGoAndEndsTheParentsReads) {
    Process child = startScripted("close.test", "0 started\nhang\n");
    const Input output = child.output();
    LineReader reader(output, 4096, Duration::seconds(20));
    ASSERT_TRUE(reader.next()->hasLine());
    // A read waiting in another thread is woken by the close.
    std::string seen = "<none>";
    Thread waiter([&] {
        char bytes[16];
        seen = std::string(output.read(bytes, Duration::infinite).view());
    });
    Thread::sleep(Duration::milliseconds(100));
    const std::uint64_t id = child.id();
    EXPECT_NE(id, 0u);
    child.close();
    waiter.join();
    EXPECT_EQ(seen, "");
    EXPECT_FALSE(output.isOpen());
    EXPECT_FALSE(child.running());
    EXPECT_EQ(child.id(), 0u);
    EXPECT_FALSE(child.output());
    // Dropping must neither end the child nor wait for it.
    child = Process();
    EXPECT_TRUE(test::processAlive(id));
    test::killProcess(id);
}

TEST(Process, QuotesTheProgramPathButNotTheArguments) {
    const FilePath folder = pingScripts().combine("with blanks");
    std::filesystem::create_directories(test::fsPath(folder));
    const FilePath original = scriptedPing();
    const FilePath program = folder.combine(original.fileName());
    std::filesystem::copy_file(test::fsPath(scriptedPing()), test::fsPath(program),
                               std::filesystem::copy_options::overwrite_existing);
    writeScript("quoted.test", "exit 0\n");

    const Process plain = Process::startWithPipes(program, "-t two words quoted.test", FilePath());
    ASSERT_TRUE(waitForEnd(plain));
    std::vector<std::string> args = recordedArguments("quoted.test");
    ASSERT_EQ(args.size(), 6u);
    // Without a folder of its own the child runs in the program's.
    EXPECT_EQ(FilePath(TextSpan(args[0]).substr(4)), folder);
    EXPECT_EQ(FilePath(TextSpan(args[1]).substr(4)), program);
    EXPECT_EQ(std::vector<std::string>(args.begin() + 2, args.end()),
              (std::vector<std::string>{"arg -t", "arg two", "arg words", "arg quoted.test"}));

    const Process placed = Process::startWithPipes(program, "-t quoted.test", pingScripts());
    ASSERT_TRUE(waitForEnd(placed));
    args = recordedArguments("quoted.test");
    ASSERT_EQ(args.size(), 4u);
    EXPECT_EQ(FilePath(TextSpan(args[0]).substr(4)), pingScripts());
}

TEST(Process, AFullBufferHoldsTheChildBackWithoutLosingBytes) {
    // Far more than the pipe and the reader's buffer hold together.
    const int lines = 20000;
    const Process child =
        startScripted("flood.test", "flood 20000 Reply from 127.0.0.1: bytes=32 time=1ms TTL=128 0123456789\nexit 5\n");
    // Not reading: the child must be held in its writes, not finish.
    Thread::sleep(Duration::seconds(1));
    EXPECT_TRUE(child.running());
    const std::vector<std::string> seen = readLines(child.output());
    ASSERT_EQ(seen.size(), std::size_t(lines));
    for (const std::string& line : seen) {
        ASSERT_EQ(line, "Reply from 127.0.0.1: bytes=32 time=1ms TTL=128 0123456789");
    }
    ASSERT_TRUE(waitForEnd(child));
    EXPECT_EQ(child.exitCode(), 5u);
}

TEST(Process, AProgramThatCannotStartThrows) {
    const FilePath missing = pingScripts().combine("no such program.exe");
    EXPECT_THROW(Process::startWithPipes(missing, "-t x", FilePath()), Exception);
    EXPECT_THROW(Process::start(missing, "-t x", FilePath()), Exception);
}

TEST(Process, APlainStartHasNoPipes) {
    writeScript("plain.test", "0 nobody reads this\nexit 4\n");
    const Process child = Process::start(scriptedPing(), "-t plain.test", FilePath());
    EXPECT_FALSE(child.output());
    EXPECT_FALSE(child.input());
    ASSERT_TRUE(waitForEnd(child));
    EXPECT_EQ(child.exitCode(), 4u);
    EXPECT_EQ(recordedArguments("plain.test").back(), "arg plain.test");
}

TEST(PipeOutput, WritesReachTheChildAndAFailedWriteClosesTheSink) {
    const Process child = startScripted("stdin.test", "exit 0\n");
    const Output input = child.input();
    ASSERT_TRUE(input.isOpen());
    ASSERT_TRUE(waitForEnd(child));
    // The reader is gone, so a write fails sooner or later and closes the sink.
    const std::string block(4096, 'x');
    for (int i = 0; i < 100 && input.isOpen(); ++i) {
        input.sink()->write(TextSpan(block));
    }
    EXPECT_FALSE(input.isOpen());
    EXPECT_TRUE(input.sink()->write(TextSpan(block)).empty());
}

// Run only as the helper of the next test, in a process of its own: starts a
// silent child with pipes, reports its id and waits to be killed.
TEST(DISABLED_ProcessHelper, StartsAChildAndWaits) {
    const Process child = startScripted("orphan.test", "hang\n");
    const std::string file = pingScripts().text() + "/helper.id";
    std::ofstream(file + ".part") << child.id() << "\n";
    std::filesystem::rename(file + ".part", file);
    Thread::sleep(Duration::infinite);
}

TEST(Process, KillingTheProgramEndsItsChildrenWithPipes) {
    const std::string file = pingScripts().text() + "/helper.id";
    std::filesystem::remove(file);
    const Process helper = Process::startWithPipes(
        FilePath(TARNLET_CPP_TESTS), "--gtest_also_run_disabled_tests --gtest_filter=DISABLED_ProcessHelper.*",
        FilePath());
    const Stopwatch watch;
    while (!std::filesystem::exists(file) && watch.elapsed() < Duration::seconds(30)) {
        Thread::sleep(Duration::milliseconds(20));
    }
    std::uint64_t orphan = 0;
    std::ifstream(file) >> orphan;
    ASSERT_NE(orphan, 0u) << "the helper reported no child";
    EXPECT_TRUE(test::processAlive(orphan));
    // Abnormally: the helper gets no chance to drop its child.
    helper.terminate();
    while (test::processAlive(orphan) && watch.elapsed() < Duration::seconds(50)) {
        Thread::sleep(Duration::milliseconds(20));
    }
    EXPECT_FALSE(test::processAlive(orphan));
    if (test::processAlive(orphan)) {
        test::killProcess(orphan);
    }
}

} // namespace
} // namespace cpp
