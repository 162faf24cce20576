#pragma once

// In-memory sources and sinks that play a script, for the stream and reader tests.

#include "cpp/exception.h"
#include "cpp/line_reader.h"
#include "cpp/stream.h"
#include "cpp/thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace cpp::test {

// Delivers its chunks in order, each read taking at most what fits. A silent
// step is one read that times out. When the script runs out the source is
// ended at once, unless it was told to end only on a read or to stay open.
class ScriptedSource : public Input::Source {
public:
    ScriptedSource& chunk(std::string text) {
        steps_.push_back({Kind::chunk, std::move(text)});
        return *this;
    }
    ScriptedSource& silence(int times = 1) {
        for (int i = 0; i < times; ++i) {
            steps_.push_back({Kind::silence, {}});
        }
        return *this;
    }
    // Open until a read finds the end, as a pipe is.
    ScriptedSource& endOnRead() {
        steps_.push_back({Kind::end, {}});
        return *this;
    }
    // After the script, silent and open for ever.
    ScriptedSource& stayOpen() {
        stayOpen_ = true;
        return *this;
    }

    bool isOpen() override {
        ++openChecks;
        return !closed_ && (!steps_.empty() || stayOpen_);
    }

    TextSpan read(std::span<char> buffer, const Duration& timeout) override {
        ++reads;
        timeouts.push_back(timeout);
        const TextSpan nothing(buffer.data(), buffer.data());
        if (closed_) {
            return nothing;
        }
        if (steps_.empty()) {
            if (stayOpen_) {
                return silent(timeout, nothing);
            }
            return nothing;
        }
        Step& step = steps_.front();
        switch (step.kind) {
        case Kind::silence:
            steps_.pop_front();
            return silent(timeout, nothing);
        case Kind::end:
            steps_.pop_front();
            closed_ = true;
            return nothing;
        case Kind::chunk:
            break;
        }
        const std::size_t count = std::min(buffer.size(), step.text.size());
        std::copy_n(step.text.data(), count, buffer.data());
        step.text.erase(0, count);
        if (step.text.empty()) {
            steps_.pop_front();
        }
        return TextSpan(buffer.data(), buffer.data() + count);
    }

    void close() override {
        ++closes;
        closed_ = true;
    }

    int openChecks = 0;
    int reads = 0;
    int closes = 0;
    std::vector<Duration> timeouts;

private:
    enum class Kind { chunk, silence, end };
    struct Step {
        Kind kind;
        std::string text;
    };

    static TextSpan silent(const Duration& timeout, TextSpan nothing) {
        // A real source would block here for ever; fail the test instead.
        if (timeout.isInfinite()) {
            throw std::logic_error("a silent source was read without a time-out");
        }
        return nothing;
    }

    std::deque<Step> steps_;
    bool stayOpen_ = false;
    bool closed_ = false;
};

// Keeps what it is given, at most perWrite bytes a call, and closes once it
// holds capacity bytes.
class RecordingSink : public Output::Sink {
public:
    explicit RecordingSink(std::size_t perWrite = SIZE_MAX, std::size_t capacity = SIZE_MAX)
        : perWrite_(perWrite), capacity_(capacity) {}

    bool isOpen() override {
        ++openChecks;
        return !closed_;
    }
    TextSpan write(TextSpan bytes) override {
        ++writes;
        const std::size_t count = std::min({bytes.size(), perWrite_, capacity_ - text.size()});
        text.append(bytes.begin(), count);
        if (text.size() == capacity_) {
            closed_ = true;
        }
        return bytes.substr(0, count);
    }
    void flush() override {}
    void close() override { closed_ = true; }

    std::string text;
    int openChecks = 0;
    int writes = 0;

private:
    const std::size_t perWrite_;
    const std::size_t capacity_;
    bool closed_ = false;
};

// The texts of the lines that reader yields; entries without a line are left out.
inline std::vector<std::string> lineTexts(LineReader reader) {
    std::vector<std::string> texts;
    for (const LineReader::Line& line : reader) {
        if (line.hasLine()) {
            texts.emplace_back(line.text.view());
        }
    }
    return texts;
}

// For a real source that is open and has nothing to deliver: a read with a
// time-out comes back empty, an empty buffer gets nothing at once, and a read
// without a time-out waits until its thread is interrupted.
inline void expectSilentAndInterruptible(Input::Source& source) {
    std::array<char, 8> buffer{};
    EXPECT_TRUE(source.read(buffer, Duration::milliseconds(20)).empty());
    EXPECT_TRUE(source.isOpen());
    EXPECT_TRUE(source.read(std::span<char>(), Duration::infinite).empty());
    Thread reader([&] { source.read(buffer, Duration::infinite); });
    Thread::sleep(Duration::milliseconds(20));
    reader.interrupt();
    reader.join();
    const std::exception_ptr error = reader.info()->exception();
    ASSERT_TRUE(error);
    EXPECT_THROW(std::rethrow_exception(error), InterruptException);
}

} // namespace cpp::test
