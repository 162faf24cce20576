#include "cpp/logger.h"

#include "cpp/program.h"

namespace cpp {

Logger::Logger() : thread_([this] { run(); }) {}

Logger::~Logger() {
    stop();
}

void Logger::append(std::int32_t severity, String category, String message) {
    {
        std::lock_guard lock(mutex_);
        pending_.push_back({DateTime(), severity, std::move(category), std::move(message)});
    }
    wake_.notify_one();
}

void Logger::addFilter(std::shared_ptr<LogFilter> filter) {
    std::lock_guard lock(mutex_);
    filters_.insert(std::move(filter));
}

void Logger::stop() {
    if (!running_.exchange(false)) {
        return;
    }
    {
        // Through the mutex, so the flag cannot change between the thread's
        // check and its wait, which would cost it a whole second.
        std::lock_guard lock(mutex_);
        wake_.notify_one();
    }
    thread_.join();
    flush(Duration(), false);
}

void Logger::run() {
    Thread::setName("Logger");
    while (running_.load()) {
        flush(Duration::seconds(1), true);
    }
}

void Logger::flush(Duration wait, bool interruptible) {
    std::vector<Entry> entries;
    std::set<std::shared_ptr<LogFilter>> filters;
    {
        InterruptibleLock lock(mutex_, interruptible);
        const Time deadline = Time() + wait;
        while (pending_.empty() && running_.load()) {
            if (waitUntil(lock, wake_, deadline)) {
                break;
            }
        }
        entries.swap(pending_);
        filters = filters_;
    }
    for (const Entry& entry : entries) {
        for (const auto& filter : filters) {
            filter->log(entry.time, entry.severity, entry.category, entry.message);
        }
    }
}

void log(std::int32_t severity, const String& category, const String& message) {
    if (Program::Standard* program = Program::current()) {
        program->logger().append(severity, category, message);
    }
}

void debug(const String& message) {
    log(7, String(), message);
}

void warning(const String& message) {
    log(4, String(), message);
}

} // namespace cpp
