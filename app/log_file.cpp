#include "app/log_file.h"

#include "cpp/exception.h"
#include "cpp/file.h"

LogFile::LogFile(cpp::FilePath path, cpp::AsyncIO service) : path_(std::move(path)), service_(std::move(service)) {}

cpp::String LogFile::line(const cpp::DateTime& time, std::int32_t severity, const cpp::String& message) {
    std::size_t end = message.size();
    while (end > 0 && (message[end - 1] == '\n' || message[end - 1] == '\r'))
        --end;
    return cpp::String("%\t%\t%\n", cpp::Date(time).format("%F %X"), severity, message.substr(0, end));
}

void LogFile::log(const cpp::DateTime& time, std::int32_t severity, const cpp::String&, const cpp::String& message) {
    const std::lock_guard lock(mutex_);
    try {
        if (!output_.isOpen())
            output_ = cpp::File::openForAppending(path_, service_);
        output_.put(line(time, severity, message));
        output_.flush();
    } catch (const cpp::Exception&) {
        // Logging about a failed log would only fail again; the next entry
        // opens the file afresh.
        output_ = cpp::Output();
    }
}
