#pragma once

#include "cpp/string.h"
#include "cpp/thread.h"
#include "cpp/time.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace cpp {

// Receives every logged entry, on the logger's thread.
class LogFilter {
public:
    virtual ~LogFilter() = default;
    virtual void log(const DateTime& time, std::int32_t severity, const String& category, const String& message) = 0;
};

// Any thread appends entries and returns at once; the "Logger" thread hands
// them to the filters once a second, outside the lock, in the order logged.
class Logger {
public:
    Logger();
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    void append(std::int32_t severity, String category, String message);
    void addFilter(std::shared_ptr<LogFilter> filter);

    // Ends the thread and delivers what is still pending. Entries appended
    // afterwards are never delivered.
    void stop();

private:
    struct Entry {
        DateTime time;
        std::int32_t severity;
        String category;
        String message;
    };

    void run();
    // Only the logger thread's own waits are interruption points: the final
    // flush may run on a thread that is already winding down from an interrupt.
    void flush(Duration wait, bool interruptible);

    std::atomic<bool> running_{true};
    std::set<std::shared_ptr<LogFilter>> filters_;
    std::vector<Entry> pending_;
    std::mutex mutex_;
    std::condition_variable wake_;
    Thread thread_;
};

// Appends to the logger of the current program; without one the entry is dropped.
void log(std::int32_t severity, const String& category, const String& message);
// Severity 7, no category.
void debug(const String& message);
// Severity 4, no category.
void warning(const String& message);

} // namespace cpp
