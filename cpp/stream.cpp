#include "cpp/stream.h"

#include "cpp/exception.h"

#include <algorithm>
#include <cstring>

namespace cpp {

bool Input::isOpen() const {
    return source_ && source_->isOpen();
}

TextSpan Input::read(std::span<char> buffer, const Duration& timeout) const {
    if (!source_) {
        return TextSpan(buffer.data(), buffer.data());
    }
    return source_->read(buffer, timeout);
}

TextSpan Input::get(std::span<char> buffer) const {
    std::size_t got = 0;
    while (got < buffer.size() && source_ && source_->isOpen()) {
        const std::span<char> rest = buffer.subspan(got);
        const TextSpan delivered = source_->read(rest, Duration::infinite);
        // A source that hands over more than it was asked for would carry
        // got past the buffer.
        IOException::check(delivered.size() <= rest.size(), "DataBuffer write failed");
        if (!delivered.empty() && delivered.begin() != rest.data()) {
            std::memmove(rest.data(), delivered.begin(), delivered.size());
        }
        got += delivered.size();
    }
    if (got < buffer.size()) {
        throw EOFException("Input::get() : input was closed before all data could be read.");
    }
    return TextSpan(buffer.data(), buffer.data() + buffer.size());
}

void Input::close() const {
    if (source_) {
        source_->close();
    }
}

bool Output::isOpen() const {
    return sink_ && sink_->isOpen();
}

TextSpan Output::put(TextSpan bytes) const {
    std::size_t done = 0;
    while (done < bytes.size() && sink_ && sink_->isOpen()) {
        const TextSpan rest = bytes.substr(done);
        done += std::min(sink_->write(rest).size(), rest.size());
    }
    if (done < bytes.size()) {
        throw EOFException("Output::put() : output was closed before all data could be written.");
    }
    return bytes;
}

void Output::flush() const {
    if (sink_) {
        sink_->flush();
    }
}

void Output::close() const {
    if (sink_) {
        sink_->close();
    }
}

} // namespace cpp
