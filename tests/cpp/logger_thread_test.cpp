#include "cpp/logger.h"

#include "cpp/thread.h"

#include <gtest/gtest.h>

namespace cpp {
namespace {

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

TEST(LoggerThread, DeliversOnAThreadNamedLogger) {
    auto filter = std::make_shared<ThreadNameFilter>();
    Logger logger;
    logger.addFilter(filter);
    logger.append(7, "", "on its way");
    EXPECT_EQ(filter->nameOnce(), "Logger");
}

} // namespace
} // namespace cpp
