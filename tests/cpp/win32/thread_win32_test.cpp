#include "cpp/thread.h"
#include "cpp/win32/named_mutex.h"
#include "cpp/win32/windows_exception.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace cpp {
namespace {

TEST(ThreadName, NamingWithoutADebuggerDoesNotEndTheProcess) {
    ASSERT_FALSE(IsDebuggerPresent());
    String name;
    Thread thread([&] {
        Thread::setName("Bus (#1)");
        Thread::setName("");
        Thread::setName("Logger");
        name = Thread::name();
    });
    thread.join();
    EXPECT_EQ(thread.info()->exception(), nullptr);
    EXPECT_EQ(name, "Logger");
}

String uniqueName(const char* what) {
    return String("tarnlet-test-% %-%", what, GetCurrentProcessId(), GetTickCount64());
}

TEST(NamedMutex, TheCreatorOwnsItAndASecondHandleMustWait) {
    const String name = uniqueName("owned");
    windows::NamedMutex first = windows::createNamedMutex(name);
    ASSERT_NE(first.handle(), nullptr);
    EXPECT_FALSE(first.alreadyExisted());
    // Owned, so the owner's own wait succeeds at once.
    EXPECT_EQ(WaitForSingleObject(first.handle(), 0), WAIT_OBJECT_0);
    ReleaseMutex(first.handle());

    DWORD otherWait = 0;
    bool otherExisted = false;
    Thread other([&] {
        windows::NamedMutex second = windows::createNamedMutex(name);
        otherExisted = second.alreadyExisted();
        otherWait = WaitForSingleObject(second.handle(), 0);
    });
    other.join();
    EXPECT_EQ(other.info()->exception(), nullptr);
    EXPECT_TRUE(otherExisted);
    EXPECT_EQ(otherWait, static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(NamedMutex, ARefusedNameThrowsTheSystemError) {
    // A namespace prefix that does not exist.
    EXPECT_THROW(windows::createNamedMutex("NoSuchNamespace\\tarnlet"), windows::Exception);
}

} // namespace
} // namespace cpp
