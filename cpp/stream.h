#pragma once

#include "cpp/string.h"
#include "cpp/text_span.h"
#include "cpp/time.h"

#include <concepts>
#include <memory>
#include <span>
#include <utility>

namespace cpp {

// A shared handle on a byte source; copies share the source, which goes with
// the last of them. An empty input reads as ended.
class Input {
public:
    // Where the bytes come from: files, the pipes of child processes, the
    // console. One thread at a time uses a source.
    class Source {
    public:
        Source() = default;
        Source(const Source&) = delete;
        Source& operator=(const Source&) = delete;
        virtual ~Source() = default;

        // False once the source has ended and holds nothing more to deliver.
        virtual bool isOpen() = 0;
        // Reads at most buffer.size() bytes into buffer and returns the part
        // filled. Empty when nothing arrived within timeout (the infinite
        // duration waits without limit) or the source has ended.
        virtual TextSpan read(std::span<char> buffer, const Duration& timeout) = 0;
        virtual void close() {}
    };

    Input() = default;
    Input(std::shared_ptr<Source> source) : source_(std::move(source)) {}
    template <std::derived_from<Source> S>
    Input(std::shared_ptr<S> source) : source_(std::move(source)) {}

    const std::shared_ptr<Source>& source() const { return source_; }
    explicit operator bool() const { return source_ != nullptr; }

    // There is a source and it is open.
    bool isOpen() const;
    // The source's read; empty without a source.
    TextSpan read(std::span<char> buffer, const Duration& timeout) const;
    // Fills the whole of buffer, waiting without limit, and returns it. Throws
    // EOFException when the source ends first.
    TextSpan get(std::span<char> buffer) const;
    void close() const;

private:
    std::shared_ptr<Source> source_;
};

// A shared handle on a byte sink; copies share the sink, which goes with the
// last of them (a file waits there for its queued writes). An empty output
// takes nothing.
class Output {
public:
    // Where the bytes go. One thread at a time uses a sink.
    class Sink {
    public:
        Sink() = default;
        Sink(const Sink&) = delete;
        Sink& operator=(const Sink&) = delete;
        virtual ~Sink() = default;

        virtual bool isOpen() = 0;
        // Returns the leading part of bytes that was accepted.
        virtual TextSpan write(TextSpan bytes) = 0;
        virtual void flush() = 0;
        virtual void close() {}
    };

    Output() = default;
    Output(std::shared_ptr<Sink> sink) : sink_(std::move(sink)) {}
    template <std::derived_from<Sink> S>
    Output(std::shared_ptr<S> sink) : sink_(std::move(sink)) {}

    const std::shared_ptr<Sink>& sink() const { return sink_; }
    explicit operator bool() const { return sink_ != nullptr; }

    bool isOpen() const;
    // Writes all of bytes and returns them. Throws EOFException when the sink
    // closes first. Nothing to write never touches the sink.
    TextSpan put(TextSpan bytes) const;
    // put of the `%` formatting of format with the arguments.
    template <class... Arguments>
    void print(TextSpan format, const Arguments&... arguments) const {
        if constexpr (sizeof...(Arguments) == 0) {
            put(format);
        } else {
            put(String(format, arguments...));
        }
    }
    void flush() const;
    void close() const;

private:
    std::shared_ptr<Sink> sink_;
};

} // namespace cpp
