#include "cpp/exception.h"

namespace cpp {

const char* Exception::what() const noexcept {
    if (!message_.empty()) {
        return message_.c_str();
    }
    if (constantText_ && *constantText_) {
        return constantText_;
    }
    return "Unknown exception";
}

void IOException::check(bool condition, const char* message) {
    if (!condition) {
        throw IOException(message);
    }
}

void DurationException::check(bool condition, const char* message) {
    if (!condition) {
        throw DurationException(message);
    }
}

} // namespace cpp
