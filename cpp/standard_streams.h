#pragma once

#include "cpp/stream.h"
#include "cpp/text_span.h"
#include "cpp/time.h"

#include <memory>
#include <span>

namespace cpp {

namespace detail {

// The back end's own duplicate of the standard input (a HANDLE, or a file
// descriptor), defined by the back end alone.
struct StandardInputHandle;
struct StandardInputHandleFree {
    void operator()(StandardInputHandle* handle) const noexcept;
};
using StandardInputOwner = std::unique_ptr<StandardInputHandle, StandardInputHandleFree>;

} // namespace detail

class StandardInput {
public:
    // The process's standard input when it is redirected (a pipe or a file).
    // A console is not served: such a source is closed from the start.
    class Source : public Input::Source {
    public:
        // Waits for input in steps of pollInterval (interruptible sleeps).
        explicit Source(Duration pollInterval = Duration::milliseconds(200));
        ~Source() override;

        bool isOpen() override;
        TextSpan read(std::span<char> buffer, const Duration& timeout) override;
        void close() override;

    private:
        // The source's own duplicate of the system's handle, so that closing
        // it leaves the process's standard input alone.
        detail::StandardInputOwner handle_;
        const Duration pollInterval_;
    };

    // The process-wide source, made on first use.
    static Input input();
};

class StandardOutput {
public:
    // The standard library's buffered standard output. Open until that
    // stream fails.
    class Sink : public Output::Sink {
    public:
        bool isOpen() override;
        TextSpan write(TextSpan bytes) override;
        void flush() override;
    };

    // The process-wide sink, made on first use.
    static Output output();
};

} // namespace cpp
