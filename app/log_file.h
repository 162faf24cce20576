#pragma once

#include "cpp/async_io.h"
#include "cpp/file_path.h"
#include "cpp/logger.h"
#include "cpp/stream.h"

#include <mutex>

// Appends every log entry to a file as a line "date time<TAB>severity<TAB>
// message", the date local and in "%F %X". The file is opened on the first
// entry and again after a write fails, so a folder that comes back later is
// written to again; a failure never reaches the logger.
class LogFile : public cpp::LogFilter {
public:
    LogFile(cpp::FilePath path, cpp::AsyncIO service);

    void log(const cpp::DateTime& time, std::int32_t severity, const cpp::String& category,
             const cpp::String& message) override;

    // The line of one entry; a message's own trailing line ends are dropped.
    static cpp::String line(const cpp::DateTime& time, std::int32_t severity, const cpp::String& message);

private:
    const cpp::FilePath path_;
    const cpp::AsyncIO service_;
    std::mutex mutex_;
    cpp::Output output_;
};
