#include "cpp/logger.h"

#include "cpp/thread.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <thread>

namespace cpp {
namespace {

class RecordingFilter : public LogFilter {
public:
    struct Entry {
        std::int32_t severity;
        String category;
        String message;
        String thread; // the name of the thread that delivered it
    };

    void log(const DateTime&, std::int32_t severity, const String& category, const String& message) override {
        std::lock_guard lock(mutex_);
        entries_.push_back({severity, category, message, Thread::name()});
    }

    std::vector<Entry> entries() {
        std::lock_guard lock(mutex_);
        return entries_;
    }

private:
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

TEST(Logger, DeliversEachEntryOnceOnItsThreadAndStillOneLoggedJustBeforeStop) {
    auto filter = std::make_shared<RecordingFilter>();
    Logger logger;
    logger.addFilter(filter);
    logger.addFilter(filter);
    logger.append(7, "cat", "on its way");
    for (int i = 0; i < 1000 && filter->entries().empty(); ++i) {
        Thread::sleep(Duration::milliseconds(10));
    }
    logger.append(3, "", "last words");
    logger.stop();
    const auto entries = filter->entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].category, "cat");
    EXPECT_EQ(entries[0].thread, "Logger");
    EXPECT_EQ(entries[1].message, "last words");
    EXPECT_EQ(entries[1].severity, 3);
}

TEST(Logger, EntriesAfterStopAreNeverDelivered) {
    auto filter = std::make_shared<RecordingFilter>();
    Logger logger;
    logger.addFilter(filter);
    logger.stop();
    logger.append(4, "", "too late");
    logger.stop();
    EXPECT_TRUE(filter->entries().empty());
}

TEST(Logger, EachThreadsEntriesArriveInTheirOrder) {
    auto filter = std::make_shared<RecordingFilter>();
    Logger logger;
    logger.addFilter(filter);
    constexpr int threadCount = 4;
    constexpr int perThread = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&logger, t] {
            for (int i = 0; i < perThread; ++i) {
                logger.append(t, "", String("%", i));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    logger.stop();
    std::map<std::int32_t, std::int64_t> next;
    for (const auto& entry : filter->entries()) {
        EXPECT_EQ(entry.message.toInteger(), next[entry.severity]++);
    }
    for (int t = 0; t < threadCount; ++t) {
        EXPECT_EQ(next[t], perThread);
    }
}

} // namespace
} // namespace cpp
