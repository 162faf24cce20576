#pragma once

#include "cpp/data_buffer.h"
#include "cpp/file_path.h"
#include "cpp/stream.h"
#include "cpp/string.h"
#include "cpp/text_span.h"
#include "cpp/thread.h"
#include "cpp/time.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

namespace cpp {

namespace detail {

// What a back end keeps of one system object: a HANDLE on Windows, a file
// descriptor or a process id on POSIX. Each is defined by its back end
// alone, so portable code holds them by owner and never sees the value.
struct PipeEnd;
struct ReadCanceller;
struct ChildProcess;

// Each frees its object the back end's way.
struct PipeEndFree {
    void operator()(PipeEnd* end) const noexcept;
};
struct ReadCancellerFree {
    void operator()(ReadCanceller* canceller) const noexcept;
};
struct ChildProcessFree {
    void operator()(ChildProcess* child) const noexcept;
};
using PipeEndOwner = std::unique_ptr<PipeEnd, PipeEndFree>;
using ReadCancellerOwner = std::unique_ptr<ReadCanceller, ReadCancellerFree>;
// Letting go of a child closes its handle without touching the child.
using ChildProcessOwner = std::unique_ptr<ChildProcess, ChildProcessFree>;

} // namespace detail

// The reading side of an anonymous pipe. A reader thread of its own blocks in
// the system's read and fills a 64 KiB buffer; when the consumer falls behind
// it stops reading, so the writer blocks on the full pipe instead of memory
// growing.
class PipeInput {
public:
    class Source : public Input::Source {
    public:
        static constexpr std::size_t bufferSize = 65536;

        explicit Source(detail::PipeEndOwner handle);
        // Ends the reader (unblocking its read if the writer still lives) and
        // joins it.
        ~Source() override;

        // Starts the reader; returns once its thread runs.
        void start();

        // True until the pipe has ended or was closed, and after its end while
        // bytes remain to be taken.
        bool isOpen() override;
        // Bytes that arrived before the end are always delivered first.
        TextSpan read(std::span<char> buffer, const Duration& timeout) override;
        // Drops the bytes not yet taken; the reader closes the handle.
        void close() override;

    private:
        void run();

        std::mutex mutex_;
        std::condition_variable dataReady_;
        detail::PipeEndOwner handle_; // used by the reader only
        DataBuffer buffer_{bufferSize};
        bool ended_ = false;          // the pipe ended or was closed
        bool readerDone_ = false;
        // The reader's own, while it reads.
        detail::ReadCanceller* canceller_ = nullptr;
        Thread reader_;
    };
};

// The writing side of an anonymous pipe. Writes go straight to the system;
// flush has nothing to do.
class PipeOutput {
public:
    class Sink : public Output::Sink {
    public:
        explicit Sink(detail::PipeEndOwner handle) : handle_(std::move(handle)) {}

        bool isOpen() override;
        // The whole span at once; a failed write closes the sink.
        TextSpan write(TextSpan bytes) override;
        void flush() override {}
        void close() override;

    private:
        std::mutex mutex_;
        detail::PipeEndOwner handle_;
    };

    // Unbuffered and untranslated (no text mode), over a duplicate of the
    // process's standard output.
    static Output standardOutput();
};

// One anonymous pipe of 64 KiB as the parent sees it; copies share it. An
// empty pipe holds neither end.
class IOPipe {
public:
    struct Detail;

    IOPipe() = default;

    // The child writes, the parent reads. The reader is not started yet.
    static IOPipe fromChild();
    // The parent writes, the child reads.
    static IOPipe toChild();

    explicit operator bool() const { return detail_ != nullptr; }
    // Empty for an empty pipe, or for the side the parent does not use.
    Input input() const;
    Output output() const;

private:
    friend class Process;
    std::shared_ptr<Detail> detail_;
};

// A child process, owned: dropping the last handle terminates a child that
// still runs. Copies share the child.
class Process {
public:
    struct Detail;

    Process() = default;

    // The child gets no standard handles. The command line is the program in
    // double quotes, a blank and the argument text unchanged; the child runs
    // in directory, or in the program's folder when that is empty.
    static Process start(const FilePath& program, const String& arguments, const FilePath& directory);
    // As start, with the three standard handles on new pipes. The child goes
    // into the program's job, so it ends when this process ends, however.
    static Process startWithPipes(const FilePath& program, const String& arguments, const FilePath& directory);
    // Sets up the job that holds every child started with pipes; done once.
    static void createProgramJob();

    explicit operator bool() const { return detail_ != nullptr; }
    const FilePath& program() const;
    const String& arguments() const;
    // The system's process id; 0 once closed or ended.
    std::uint64_t id() const;

    // The child's standard output while it runs. Once it has ended the exit
    // code is recorded and the output is still given while it holds bytes
    // not yet read, so a child that prints and exits at once loses nothing;
    // otherwise an empty input.
    Input output() const;
    Input error() const;
    Output input() const;

    bool running() const;
    // Valid once the end has been observed (output, running, terminate).
    std::uint32_t exitCode() const;

    // Ends a running child with exit code 0 and waits for it, then closes.
    // A failure to end it is logged, not thrown.
    void terminate() const;
    // Lets the child go without ending it; the pipes' parent ends close.
    void close() const;

private:
    std::shared_ptr<Detail> detail_;
};

} // namespace cpp
