#include "cpp/process.h"

#include "cpp/exception.h"
#include "cpp/logger.h"
#include "cpp/process_platform.h"

#include <utility>

namespace cpp {

// ---- PipeInput::Source

PipeInput::Source::Source(detail::PipeEndOwner handle) : handle_(std::move(handle)) {
    ended_ = !handle_;
    readerDone_ = true;
}

PipeInput::Source::~Source() {
    if (reader_.joinable()) {
        InterruptibleLock lock(mutex_, false);
        ended_ = true;
        dataReady_.notify_all();
        // The reader may sit in the system's read with the writer still alive
        // (a child that was let go, or a grandchild holding the pipe); keep
        // waking it until it leaves, since some systems miss a cancellation
        // that arrives just before the read starts.
        while (!readerDone_) {
            if (canceller_) {
                detail::cancelRead(*canceller_);
            }
            waitFor(lock, dataReady_, Duration::milliseconds(50));
        }
    }
    // Interrupts and joins a reader that has left its loop or never ran.
    reader_ = Thread();
}

void PipeInput::Source::start() {
    std::lock_guard lock(mutex_);
    if (reader_.joinable() || !handle_) {
        return;
    }
    readerDone_ = false;
    reader_ = Thread([this] { run(); });
}

void PipeInput::Source::run() {
    Thread::setName("IOPipe input thread");
    const detail::ReadCancellerOwner canceller = detail::openReadCanceller();
    InterruptibleLock lock(mutex_);
    canceller_ = canceller.get();
    try {
        while (!ended_) {
            std::span<char> space = buffer_.freeSpace();
            if (space.empty()) {
                wait(lock, dataReady_);
                continue;
            }
            lock.unlock();
            // Only the reader writes the free part, and the consumer never
            // touches it, so the read needs no lock.
            const std::size_t count = detail::readPipe(*handle_, canceller.get(), space);
            lock.lock();
            if (count == 0) {
                ended_ = true;
            } else if (!ended_) {
                buffer_.commit(count);
            }
            dataReady_.notify_all();
        }
    } catch (...) {
        if (!lock.owns_lock()) {
            lock.lock();
        }
        ended_ = true;
        // The canceller itself goes when run returns, after the lock.
        canceller_ = nullptr;
        handle_.reset();
        readerDone_ = true;
        dataReady_.notify_all();
        throw;
    }
    canceller_ = nullptr;
    handle_.reset();
    readerDone_ = true;
    dataReady_.notify_all();
}

bool PipeInput::Source::isOpen() {
    std::lock_guard lock(mutex_);
    return !ended_ || !buffer_.empty();
}

TextSpan PipeInput::Source::read(std::span<char> buffer, const Duration& timeout) {
    const Stopwatch watch;
    InterruptibleLock lock(mutex_);
    for (;;) {
        if (!buffer_.empty()) {
            const TextSpan copy = buffer_.take(buffer);
            // Room again for the reader waiting on a full buffer.
            dataReady_.notify_all();
            return copy;
        }
        if (ended_) {
            return TextSpan(buffer.data(), buffer.data());
        }
        const Duration elapsed = watch.elapsed();
        if (!timeout.isInfinite() && elapsed >= timeout) {
            return TextSpan(buffer.data(), buffer.data());
        }
        waitFor(lock, dataReady_, timeout.isInfinite() ? Duration::infinite : timeout - elapsed);
    }
}

void PipeInput::Source::close() {
    std::lock_guard lock(mutex_);
    if (!ended_) {
        ended_ = true;
        if (canceller_) {
            detail::cancelRead(*canceller_);
        }
    }
    buffer_.clear();
    dataReady_.notify_all();
}

// ---- PipeOutput::Sink

bool PipeOutput::Sink::isOpen() {
    std::lock_guard lock(mutex_);
    return handle_ != nullptr;
}

TextSpan PipeOutput::Sink::write(TextSpan bytes) {
    std::lock_guard lock(mutex_);
    if (!handle_) {
        return bytes.substr(0, 0);
    }
    if (!detail::writePipe(*handle_, bytes)) {
        handle_.reset();
        return bytes.substr(0, 0);
    }
    return bytes;
}

void PipeOutput::Sink::close() {
    std::lock_guard lock(mutex_);
    handle_.reset();
}

Output PipeOutput::standardOutput() {
    return Output(std::make_shared<Sink>(detail::duplicateStandardOutput()));
}

// ---- IOPipe

struct IOPipe::Detail {
    Input input;
    Output output;
    // The child's end, until the child has been given it.
    detail::PipeEndOwner childEnd;
    std::shared_ptr<PipeInput::Source> source;
};

IOPipe IOPipe::fromChild() {
    detail::PipeEnds ends = detail::createPipe(PipeInput::Source::bufferSize, true);
    IOPipe pipe;
    pipe.detail_ = std::make_shared<Detail>();
    pipe.detail_->childEnd = std::move(ends.write);
    pipe.detail_->source = std::make_shared<PipeInput::Source>(std::move(ends.read));
    pipe.detail_->input = Input(pipe.detail_->source);
    return pipe;
}

IOPipe IOPipe::toChild() {
    detail::PipeEnds ends = detail::createPipe(PipeInput::Source::bufferSize, false);
    IOPipe pipe;
    pipe.detail_ = std::make_shared<Detail>();
    pipe.detail_->childEnd = std::move(ends.read);
    pipe.detail_->output = Output(std::make_shared<PipeOutput::Sink>(std::move(ends.write)));
    return pipe;
}

Input IOPipe::input() const {
    return detail_ ? detail_->input : Input();
}

Output IOPipe::output() const {
    return detail_ ? detail_->output : Output();
}

// ---- Process

namespace {

// Held from creating the pipes until the parent's copies of the child's ends
// are closed, so that a child started meanwhile by another thread inherits
// none of them.
std::mutex creationMutex;
std::once_flag jobOnce;

} // namespace

struct Process::Detail {
    FilePath program;
    String arguments;
    mutable std::mutex mutex;
    detail::ChildProcessOwner child;
    std::uint64_t id = 0;
    std::uint32_t exitCode = 0;
    IOPipe stdinPipe;
    IOPipe stdoutPipe;
    IOPipe stderrPipe;

    ~Detail() { terminate(); }

    // Under mutex. True while the child runs.
    bool observe() {
        if (!child) {
            return false;
        }
        if (const auto code = detail::childExitCode(*child)) {
            exitCode = *code;
            child.reset();
            id = 0;
            return false;
        }
        return true;
    }

    // Still given after the end while it holds bytes not yet read.
    Input childOutput(const IOPipe& pipe) {
        std::lock_guard lock(mutex);
        const bool running = observe();
        const Input input = pipe.input();
        return running || input.isOpen() ? input : Input();
    }

    void terminate() {
        std::lock_guard lock(mutex);
        if (!observe()) {
            return;
        }
        const String error = detail::terminateChild(*child);
        if (!error.empty()) {
            debug(String("TerminateProcess(% %) - failed: %", program.toString('/'), arguments, error));
        }
        detail::waitForChild(*child);
        closeLocked();
    }

    void closeLocked() {
        if (!child) {
            return;
        }
        child.reset();
        id = 0;
        if (stdinPipe) {
            stdinPipe.output().close();
            stdinPipe.detail_->output = Output();
        }
        stdoutPipe.input().close();
        stderrPipe.input().close();
    }
};

Process Process::start(const FilePath& program, const String& arguments, const FilePath& directory) {
    auto detail = std::make_shared<Detail>();
    detail->program = program;
    detail->arguments = arguments;
    detail->child = detail::startChild(program, arguments, directory, nullptr);
    detail->id = detail::childId(*detail->child);
    Process process;
    process.detail_ = std::move(detail);
    return process;
}

Process Process::startWithPipes(const FilePath& program, const String& arguments, const FilePath& directory) {
    auto detail = std::make_shared<Detail>();
    detail->program = program;
    detail->arguments = arguments;
    {
        std::lock_guard lock(creationMutex);
        detail->stdoutPipe = IOPipe::fromChild();
        detail->stderrPipe = IOPipe::fromChild();
        detail->stdinPipe = IOPipe::toChild();
        const detail::ChildHandles handles{*detail->stdinPipe.detail_->childEnd,
                                           *detail->stdoutPipe.detail_->childEnd,
                                           *detail->stderrPipe.detail_->childEnd};
        detail->child = detail::startChild(program, arguments, directory, &handles);
        detail->id = detail::childId(*detail->child);
        // Only the child may hold the write ends now, so its end is our end of file.
        detail->stdinPipe.detail_->childEnd.reset();
        detail->stdoutPipe.detail_->childEnd.reset();
        detail->stderrPipe.detail_->childEnd.reset();
    }
    detail->stdoutPipe.detail_->source->start();
    detail->stderrPipe.detail_->source->start();
    createProgramJob();
    detail::assignToProgramJob(*detail->child);
    Process process;
    process.detail_ = std::move(detail);
    return process;
}

void Process::createProgramJob() {
    // A failure leaves the flag unset, so the next start tries again.
    std::call_once(jobOnce, [] { detail::createProgramJob(); });
}

const FilePath& Process::program() const {
    static const FilePath none;
    return detail_ ? detail_->program : none;
}

const String& Process::arguments() const {
    static const String none;
    return detail_ ? detail_->arguments : none;
}

std::uint64_t Process::id() const {
    if (!detail_) {
        return 0;
    }
    std::lock_guard lock(detail_->mutex);
    return detail_->id;
}

Input Process::output() const {
    return detail_ ? detail_->childOutput(detail_->stdoutPipe) : Input();
}

Input Process::error() const {
    return detail_ ? detail_->childOutput(detail_->stderrPipe) : Input();
}

Output Process::input() const {
    if (!detail_) {
        return Output();
    }
    std::lock_guard lock(detail_->mutex);
    return detail_->stdinPipe.output();
}

bool Process::running() const {
    if (!detail_) {
        return false;
    }
    std::lock_guard lock(detail_->mutex);
    return detail_->observe();
}

std::uint32_t Process::exitCode() const {
    if (!detail_) {
        return 0;
    }
    std::lock_guard lock(detail_->mutex);
    return detail_->exitCode;
}

void Process::terminate() const {
    if (detail_) {
        detail_->terminate();
    }
}

void Process::close() const {
    if (detail_) {
        std::lock_guard lock(detail_->mutex);
        detail_->closeLocked();
    }
}

} // namespace cpp
