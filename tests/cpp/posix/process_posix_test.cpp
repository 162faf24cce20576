#include "cpp/process.h"

#include "cpp/process_fixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cpp::test {

bool processAlive(std::uint64_t id) {
    if (::kill(static_cast<pid_t>(id), 0) != 0) {
        return false;
    }
    // "pid (name) state ...": a zombie has ended.
    std::ifstream stat("/proc/" + std::to_string(id) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() || text[close + 2] != 'Z';
}

void killProcess(std::uint64_t id) {
    ::kill(static_cast<pid_t>(id), SIGKILL);
    // Ours unless it was let go by a helper that has ended since.
    ::waitpid(static_cast<pid_t>(id), nullptr, WNOHANG);
}

namespace {

TEST(ProcessPosix, ChildrenWithPipesGetAProcessGroupOfTheirOwn) {
    writeScript("group.test", "hang\n");
    const Process child = Process::startWithPipes(scriptedPing(), "-t group.test", FilePath());
    const auto pid = static_cast<pid_t>(child.id());
    // The group is set in the child before exec; wait for that to be visible.
    for (int i = 0; i < 2000 && ::getpgid(pid) != pid; ++i) {
        ::usleep(1000);
    }
    EXPECT_EQ(::getpgid(pid), pid);
    EXPECT_NE(::getpgid(pid), ::getpgrp());
}

} // namespace
} // namespace cpp::test
