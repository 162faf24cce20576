#include "cpp/standard_streams.h"

#include "cpp/scripted_streams.h"
#include "cpp/thread.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace cpp {
namespace {

// Makes descriptor the process's standard input while a source is made on it.
std::shared_ptr<StandardInput::Source> sourceOn(int descriptor) {
    const int saved = dup(STDIN_FILENO);
    EXPECT_GE(saved, 0);
    EXPECT_EQ(dup2(descriptor, STDIN_FILENO), STDIN_FILENO);
    auto source = std::make_shared<StandardInput::Source>(Duration::milliseconds(5));
    dup2(saved, STDIN_FILENO);
    close(saved);
    return source;
}

void writeAll(int descriptor, const std::string& text) {
    ASSERT_EQ(write(descriptor, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

TEST(StandardInput, PipeDeliversWhatArrivesAndEndsWhenTheWriterCloses) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    auto source = sourceOn(ends[0]);
    close(ends[0]);
    ASSERT_TRUE(source->isOpen());
    writeAll(ends[1], "one\r\ntwo\n");
    // The rest comes later, while the reader is already polling.
    Thread writer([&] {
        Thread::sleep(Duration::milliseconds(50));
        writeAll(ends[1], "three");
        close(ends[1]);
    });
    EXPECT_EQ(test::lineTexts(LineReader(source, 64, Duration::milliseconds(20))),
              (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_FALSE(source->isOpen());
    writer.join();
}

TEST(StandardInput, SilencePassesAsATimeOutAndTheWaitCanBeInterrupted) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    auto source = sourceOn(ends[0]);
    close(ends[0]);
    test::expectSilentAndInterruptible(*source);

    // Closing the source leaves the process's own standard input alone.
    source->close();
    EXPECT_FALSE(source->isOpen());
    EXPECT_NE(fcntl(STDIN_FILENO, F_GETFD), -1);
    close(ends[1]);
}

TEST(StandardInput, RedirectedFileEndsAtItsEnd) {
    char name[] = "/tmp/tarnlet-stdin-XXXXXX";
    const int file = mkstemp(name);
    ASSERT_GE(file, 0);
    unlink(name);
    writeAll(file, "first\nlast without line feed");
    lseek(file, 0, SEEK_SET);
    auto source = sourceOn(file);
    close(file);
    EXPECT_EQ(test::lineTexts(LineReader(source, 64, Duration::infinite)),
              (std::vector<std::string>{"first", "last without line feed"}));
}

TEST(StandardInput, TerminalIsNotServed) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        GTEST_SKIP() << "no pseudo-terminal";
    }
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    auto source = sourceOn(terminal);
    close(terminal);
    close(master);
    EXPECT_FALSE(source->isOpen());
    std::array<char, 8> buffer{};
    EXPECT_TRUE(source->read(buffer, Duration::infinite).empty());
}

} // namespace
} // namespace cpp
