#include "cpp/process_platform.h"

#include "cpp/command_line.h"
#include "cpp/exception.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace cpp::detail {

// Descriptors and a pid; -1 owns nothing.
struct PipeEnd {
    int descriptor = -1;
    ~PipeEnd() {
        if (descriptor >= 0) {
            ::close(descriptor);
        }
    }
};
struct ReadCanceller : PipeEnd {};
struct ChildProcess {
    pid_t pid = -1;
};

void PipeEndFree::operator()(PipeEnd* end) const noexcept {
    delete end;
}
void ReadCancellerFree::operator()(ReadCanceller* canceller) const noexcept {
    delete canceller;
}
// A pid is no handle; a child let go stays unreaped until it is gone.
void ChildProcessFree::operator()(ChildProcess* child) const noexcept {
    delete child;
}

namespace {

PipeEndOwner pipeEnd(int descriptor) {
    return PipeEndOwner(new PipeEnd{descriptor});
}

[[noreturn]] void fail(const char* what) {
    throw IOException(String("%: %", what, std::strerror(errno)));
}

} // namespace

static bool writeAll(int descriptor, TextSpan bytes);

PipeEnds createPipe(std::size_t size, bool) {
    // Both ends close on exec: the child gets its end through dup2, which
    // clears the flag on the copy, so no other child can inherit either end.
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        fail("pipe2");
    }
    // Best effort: the default (64 KiB on Linux) serves as well.
    ::fcntl(ends[1], F_SETPIPE_SZ, static_cast<int>(size));
    return {pipeEnd(ends[0]), pipeEnd(ends[1])};
}

ReadCancellerOwner openReadCanceller() {
    const int event = ::eventfd(0, EFD_CLOEXEC);
    if (event < 0) {
        return nullptr;
    }
    ReadCancellerOwner canceller(new ReadCanceller);
    canceller->descriptor = event;
    return canceller;
}

void cancelRead(ReadCanceller& canceller) noexcept {
    // The counter stays raised, so a read that has not started yet sees it too.
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(canceller.descriptor, &one, sizeof(one));
}

std::size_t readPipe(PipeEnd& end, ReadCanceller* canceller, std::span<char> buffer) {
    for (;;) {
        // A blocking wait on both, no time-out: the pipe or the canceller.
        pollfd fds[2] = {{end.descriptor, POLLIN, 0}, {canceller ? canceller->descriptor : -1, POLLIN, 0}};
        const int count = ::poll(fds, canceller ? 2 : 1, -1);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return 0;
        }
        if (fds[1].revents != 0) {
            return 0;
        }
        const ssize_t got = ::read(end.descriptor, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }
}

bool writePipe(PipeEnd& end, TextSpan bytes) {
    // A reader that has gone must close the sink, not kill the program with
    // SIGPIPE: block it for this thread and take back the one we caused.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    sigset_t pending;
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    const bool written = writeAll(end.descriptor, bytes);
    if (!written && errno == EPIPE && !wasPending) {
        const timespec none{0, 0};
        while (sigtimedwait(&pipeSignal, nullptr, &none) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return written;
}

static bool writeAll(int descriptor, TextSpan bytes) {
    const char* next = bytes.begin();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor, next, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        next += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

PipeEndOwner duplicateStandardOutput() {
    const int own = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    return own < 0 ? nullptr : pipeEnd(own);
}

ChildProcessOwner startChild(const FilePath& program, const String& arguments, const FilePath& directory,
                             const ChildHandles* handles) {
    // The argument text splits as the child's runtime would split it on Windows.
    const String path = program.toString('/');
    const String folder = (directory.empty() ? program.parent() : directory).toString('/');
    std::vector<String> words = splitCommandLine(arguments);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (String& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    // The child reports a failed chdir or exec through this pipe; a clean
    // exec closes it, which the parent reads as success.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        fail("pipe2");
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int error = errno;
        ::close(report[0]);
        ::close(report[1]);
        errno = error;
        fail("fork");
    }
    if (pid == 0) {
        // Only async-signal-safe calls from here on.
        if (handles) {
            // Killed with the thread that started it, and never outliving the
            // program; the parent may have gone before the request took hold.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) {
                ::_exit(127);
            }
            ::setpgid(0, 0);
            ::dup2(handles->input.descriptor, STDIN_FILENO);
            ::dup2(handles->output.descriptor, STDOUT_FILENO);
            ::dup2(handles->error.descriptor, STDERR_FILENO);
        } else {
            // Nothing from the parent, as on Windows.
            const int null = ::open("/dev/null", O_RDWR);
            if (null >= 0) {
                ::dup2(null, STDIN_FILENO);
                ::dup2(null, STDOUT_FILENO);
                ::dup2(null, STDERR_FILENO);
            }
        }
        ::signal(SIGPIPE, SIG_DFL);
        int error = 0;
        if (::chdir(folder.c_str()) != 0) {
            error = errno;
        } else {
            ::execv(path.c_str(), argv.data());
            error = errno;
        }
        [[maybe_unused]] const ssize_t written = ::write(report[1], &error, sizeof(error));
        ::_exit(127);
    }
    ::close(report[1]);
    int error = 0;
    ssize_t got;
    do {
        got = ::read(report[0], &error, sizeof(error));
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    if (got == sizeof(error)) {
        ::waitpid(pid, nullptr, 0);
        throw IOException(String("Unable to start %: %", path, std::strerror(error)));
    }
    return ChildProcessOwner(new ChildProcess{pid});
}

std::uint64_t childId(const ChildProcess& child) {
    return static_cast<std::uint64_t>(child.pid);
}

std::optional<std::uint32_t> childExitCode(ChildProcess& child) {
    int status = 0;
    pid_t got;
    do {
        got = ::waitpid(child.pid, &status, WNOHANG);
    } while (got < 0 && errno == EINTR);
    if (got == 0) {
        return std::nullopt;
    }
    if (got < 0) {
        return std::uint32_t(0);
    }
    // A signal's end as a shell reports it.
    return WIFEXITED(status) ? std::uint32_t(WEXITSTATUS(status)) : std::uint32_t(128 + WTERMSIG(status));
}

String terminateChild(ChildProcess& child) {
    if (::kill(child.pid, SIGKILL) == 0) {
        return String();
    }
    return String(std::strerror(errno));
}

void waitForChild(ChildProcess& child) {
    while (::waitpid(child.pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

void createProgramJob() {
    // Children started with pipes carry PR_SET_PDEATHSIG instead.
}

void assignToProgramJob(ChildProcess&) noexcept {}

} // namespace cpp::detail
