#include "cpp/process.h"

#include "cpp/process_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace cpp::test {

bool processAlive(std::uint64_t id) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
    if (!process) {
        return false;
    }
    const bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return alive;
}

void killProcess(std::uint64_t id) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
    if (process) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 10000);
        CloseHandle(process);
    }
}

namespace {

TEST(ProcessWin32, DroppingARunningChildEndsItWithExitCodeZero) {
    writeScript("exit-zero.test", "hang\n");
    HANDLE watched = nullptr;
    {
        const Process child = Process::startWithPipes(scriptedPing(), "-t exit-zero.test", FilePath());
        watched = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(child.id()));
        ASSERT_NE(watched, nullptr);
    }
    EXPECT_EQ(WaitForSingleObject(watched, 20000), WAIT_OBJECT_0);
    DWORD code = 259;
    EXPECT_TRUE(GetExitCodeProcess(watched, &code));
    EXPECT_EQ(code, 0u);
    CloseHandle(watched);
}

TEST(ProcessWin32, ChildrenWithPipesAreInTheProgramsJob) {
    writeScript("job.test", "hang\n");
    const Process child = Process::startWithPipes(scriptedPing(), "-t job.test", FilePath());
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, static_cast<DWORD>(child.id()));
    ASSERT_NE(process, nullptr);
    BOOL inJob = FALSE;
    EXPECT_TRUE(IsProcessInJob(process, nullptr, &inJob)) << GetLastError();
    EXPECT_TRUE(inJob);
    CloseHandle(process);
}

} // namespace
} // namespace cpp::test
