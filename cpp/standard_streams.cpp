#include "cpp/standard_streams.h"

#include "cpp/standard_streams_platform.h"
#include "cpp/thread.h"

#include <algorithm>
#include <iostream>
#include <memory>

namespace cpp {

StandardInput::Source::Source(Duration pollInterval)
    : handle_(detail::openStandardInput()), pollInterval_(pollInterval) {}

StandardInput::Source::~Source() {
    close();
}

bool StandardInput::Source::isOpen() {
    return handle_ != nullptr;
}

TextSpan StandardInput::Source::read(std::span<char> buffer, const Duration& timeout) {
    const TextSpan nothing(buffer.data(), buffer.data());
    if (buffer.empty()) {
        return nothing;
    }
    const Stopwatch watch;
    while (isOpen()) {
        const detail::StandardInputRead got = detail::readStandardInput(*handle_, buffer);
        if (got.ended) {
            close();
            break;
        }
        if (got.count > 0) {
            return TextSpan(buffer.data(), buffer.data() + got.count);
        }
        const Duration elapsed = watch.elapsed();
        if (elapsed >= timeout) {
            break;
        }
        Thread::sleep(std::min(pollInterval_, timeout - elapsed));
    }
    return nothing;
}

void StandardInput::Source::close() {
    handle_.reset();
}

Input StandardInput::input() {
    static const Input input(std::make_shared<Source>());
    return input;
}

bool StandardOutput::Sink::isOpen() {
    return !std::cout.fail();
}

TextSpan StandardOutput::Sink::write(TextSpan bytes) {
    std::streambuf* buffer = std::cout.rdbuf();
    if (bytes.empty() || !buffer || std::cout.fail()) {
        return bytes.substr(0, 0);
    }
    const std::streamsize taken = std::max<std::streamsize>(
        buffer->sputn(bytes.begin(), static_cast<std::streamsize>(bytes.size())), 0);
    // A stream that takes less than everything has failed (a closed pipe, a
    // full disk); marking it so closes the sink rather than leaving a writer
    // to retry forever.
    if (static_cast<std::size_t>(taken) < bytes.size()) {
        std::cout.setstate(std::ios::badbit);
    }
    return bytes.substr(0, static_cast<std::size_t>(taken));
}

void StandardOutput::Sink::flush() {
    std::cout.flush();
}

Output StandardOutput::output() {
    static const Output output(std::make_shared<Sink>());
    return output;
}

} // namespace cpp
