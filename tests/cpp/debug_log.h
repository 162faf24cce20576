#pragma once

#include "cpp/logger.h"
#include "cpp/string.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace cpp::test {

// Keeps the debug messages (severity 7) a program logs, for a test to read
// once the program's logger has stopped.
class DebugLog : public LogFilter {
public:
    // Adds a log to logger.
    static std::shared_ptr<DebugLog> attach(Logger& logger) {
        auto log = std::make_shared<DebugLog>();
        logger.addFilter(log);
        return log;
    }

    void log(const DateTime&, std::int32_t severity, const String&, const String& message) override {
        const std::lock_guard lock(mutex_);
        if (severity == 7) {
            messages_.push_back(message);
        }
    }

    // Every message, in order: stops logger first, so that all have arrived.
    std::vector<String> messages(Logger& logger) {
        logger.stop();
        const std::lock_guard lock(mutex_);
        return messages_;
    }

private:
    std::mutex mutex_;
    std::vector<String> messages_;
};

} // namespace cpp::test
