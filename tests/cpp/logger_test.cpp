#include "cpp/logger.h"

#include "cpp/thread.h"

#include <gtest/gtest.h>

#include <condition_variable>

#include <map>
#include <mutex>
#include <thread>

namespace cpp {
namespace {

class RecordingFilter : public AbstractLogFilter {
public:
    struct Entry {
        std::int32_t severity;
        String category;
        String message;
    };

    RecordingFilter() : AbstractLogFilter(8) {}

    void log(const DateTime&, std::int32_t severity, const String& category, const String& message) override {
        std::lock_guard lock(mutex_);
        entries_.push_back({severity, category, message});
    }

    std::vector<Entry> entries() {
        std::lock_guard lock(mutex_);
        return entries_;
    }

private:
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

TEST(Logger, EntryLoggedJustBeforeStopIsStillDelivered) {
    auto filter = std::make_shared<RecordingFilter>();
    Logger logger;
    logger.addFilter(filter);
    logger.append(7, "", "last words");
    logger.stop();
    const auto entries = filter->entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].message, "last words");
    EXPECT_EQ(entries[0].severity, 7);
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

TEST(Logger, AFilterAddedTwiceSeesEachEntryOnce) {
    auto filter = std::make_shared<RecordingFilter>();
    Logger logger;
    logger.addFilter(filter);
    logger.addFilter(filter);
    logger.append(7, "cat", "once");
    logger.stop();
    ASSERT_EQ(filter->entries().size(), 1u);
    EXPECT_EQ(filter->entries()[0].category, "cat");
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

// Notes the name of the thread that delivers an entry.
class ThreadNameFilter : public AbstractLogFilter {
public:
    ThreadNameFilter() : AbstractLogFilter(8) {}

    void log(const DateTime&, std::int32_t, const String&, const String&) override {
        std::lock_guard lock(mutex_);
        name_ = Thread::name();
        delivered_.notify_all();
    }

    String nameOnce() {
        std::unique_lock lock(mutex_);
        delivered_.wait_for(lock, std::chrono::seconds(10), [&] { return !name_.empty(); });
        return name_;
    }

private:
    std::mutex mutex_;
    std::condition_variable delivered_;
    String name_;
};

TEST(Logger, DeliversOnAThreadNamedLogger) {
    auto filter = std::make_shared<ThreadNameFilter>();
    Logger logger;
    logger.addFilter(filter);
    logger.append(7, "", "on its way");
    EXPECT_EQ(filter->nameOnce(), "Logger");
}

} // namespace
} // namespace cpp
