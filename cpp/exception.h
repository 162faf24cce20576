#pragma once

#include "cpp/string.h"

#include <exception>

namespace cpp {

// Root of the library's exceptions. what() is the message if there is one,
// otherwise the constant text, otherwise "Unknown exception".
class Exception : public std::exception {
public:
    explicit Exception(String message) : message_(std::move(message)) {}
    // For fixed messages: the text is kept by pointer and must outlive the exception.
    explicit Exception(const char* constantText) : constantText_(constantText) {}

    const char* what() const noexcept override;
    const String& message() const { return message_; }

private:
    const char* constantText_ = nullptr;
    String message_;
};

// Input and output failures.
class IOException : public Exception {
public:
    using Exception::Exception;
    static void check(bool condition, const char* message);
};

// A file that another process holds open in a way that keeps us out: worth
// trying again later, unlike a file we may not write at all.
class FileInUseException : public IOException {
public:
    using IOException::IOException;
};

// Input that closed before the requested data was read.
class EOFException : public IOException {
public:
    using IOException::IOException;
};

// Misuse of the infinite duration.
class DurationException : public Exception {
public:
    using Exception::Exception;
    static void check(bool condition, const char* message);
};

// A thread was asked to stop.
class InterruptException : public Exception {
public:
    InterruptException() : Exception("Thread execution was interrupted.") {}
};

// A bounded wait ran out.
class TimeoutException : public Exception {
public:
    using Exception::Exception;
};

} // namespace cpp
