#include "cpp/thread.h"

#include <gtest/gtest.h>

#include <pthread.h>

namespace cpp {
namespace {

String systemName() {
    char buffer[64] = {};
    pthread_getname_np(pthread_self(), buffer, sizeof buffer);
    return buffer;
}

TEST(ThreadName, TheSystemGetsTheFirstFifteenBytesWholeCharactersOnly) {
    String seen;
    String kept;
    String accented;
    Thread thread([&] {
        Thread::setName("Logger");
        seen = systemName();
        Thread::setName("Pinging example.org (#12)");
        kept = Thread::name();
        seen += "|" + systemName();
        // 14 ASCII bytes and a two-byte character that would straddle the limit.
        Thread::setName("ABCDEFGHIJKLMN\xc3\xa9");
        accented = systemName();
    });
    thread.join();
    EXPECT_EQ(seen, "Logger|Pinging example");
    EXPECT_EQ(kept, "Pinging example.org (#12)");
    EXPECT_EQ(accented, "ABCDEFGHIJKLMN");
}

} // namespace
} // namespace cpp
