#include "cpp/standard_streams.h"

#include "cpp/scripted_streams.h"
#include "cpp/thread.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace cpp {
namespace {

// Makes handle the process's standard input while a source is made on it.
std::shared_ptr<StandardInput::Source> sourceOn(HANDLE handle) {
    const HANDLE saved = GetStdHandle(STD_INPUT_HANDLE);
    EXPECT_TRUE(SetStdHandle(STD_INPUT_HANDLE, handle));
    auto source = std::make_shared<StandardInput::Source>(Duration::milliseconds(5));
    SetStdHandle(STD_INPUT_HANDLE, saved);
    return source;
}

void writeAll(HANDLE handle, const std::string& text) {
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
    ASSERT_EQ(written, text.size());
}

TEST(StandardInput, PipeDeliversWhatArrivesAndEndsWhenTheWriterCloses) {
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
    auto source = sourceOn(readEnd);
    CloseHandle(readEnd);
    ASSERT_TRUE(source->isOpen());
    writeAll(writeEnd, "one\r\ntwo\n");
    // The rest comes later, while the reader is already polling.
    Thread writer([&] {
        Thread::sleep(Duration::milliseconds(50));
        writeAll(writeEnd, "three");
        CloseHandle(writeEnd);
    });
    EXPECT_EQ(test::lineTexts(LineReader(source, 64, Duration::milliseconds(20))),
              (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_FALSE(source->isOpen());
    writer.join();
}

TEST(StandardInput, SilencePassesAsATimeOutAndTheWaitCanBeInterrupted) {
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
    auto source = sourceOn(readEnd);
    test::expectSilentAndInterruptible(*source);

    // The source closes its own duplicate; the handle it was made from stays usable.
    source->close();
    EXPECT_FALSE(source->isOpen());
    DWORD available = 0;
    EXPECT_TRUE(PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr));
    CloseHandle(readEnd);
    CloseHandle(writeEnd);
}

TEST(StandardInput, RedirectedFileEndsAtItsEnd) {
    wchar_t folder[MAX_PATH];
    wchar_t name[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
    ASSERT_NE(GetTempFileNameW(folder, L"tst", 0, name), 0u);
    HANDLE file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    writeAll(file, "first\nlast without line feed");
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    auto source = sourceOn(file);
    CloseHandle(file);
    EXPECT_EQ(test::lineTexts(LineReader(source, 64, Duration::infinite)),
              (std::vector<std::string>{"first", "last without line feed"}));
}

} // namespace
} // namespace cpp
