#pragma once

#include "cpp/file_path.h"
#include "cpp/process.h"
#include "cpp/string.h"
#include "cpp/text_span.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// What processes and pipes ask of the operating system; each back end
// implements it, with the objects of process.h's detail namespace.
namespace cpp::detail {

struct PipeEnds {
    PipeEndOwner read;
    PipeEndOwner write;
};
// An anonymous pipe of size bytes. The end the child will get stays
// inheritable; the parent's own end (the read end when parentReads) does not.
PipeEnds createPipe(std::size_t size, bool parentReads);

// Made by a pipe's reader thread for itself, so that another thread can end
// its blocking read without closing the handle under it; null when the
// system gives none.
ReadCancellerOwner openReadCanceller();
// Wakes the read in progress, or the next one, with nothing. May miss a read
// that is only about to start on some systems: callers retry until the
// reader is seen to leave.
void cancelRead(ReadCanceller& canceller) noexcept;
// Blocks until bytes arrive; 0 at the end of the pipe, on failure or when
// cancelled through canceller (which may be null).
std::size_t readPipe(PipeEnd& end, ReadCanceller* canceller, std::span<char> buffer);
// Writes all of bytes; false on failure.
bool writePipe(PipeEnd& end, TextSpan bytes);
// A duplicate of the process's standard output, or null.
PipeEndOwner duplicateStandardOutput();

struct ChildHandles {
    PipeEnd& input;
    PipeEnd& output;
    PipeEnd& error;
};
// Starts the child; with handles, those become its standard handles and it
// gets no window. Throws cpp::windows::Exception (Windows) or
// cpp::IOException (POSIX) when it cannot be started.
ChildProcessOwner startChild(const FilePath& program, const String& arguments, const FilePath& directory,
                             const ChildHandles* handles);
std::uint64_t childId(const ChildProcess& child);
// The exit code once the child has ended; nothing while it runs.
std::optional<std::uint32_t> childExitCode(ChildProcess& child);
// Ends the child with exit code 0 (where the system has exit codes for this);
// the system's error message on failure, else empty.
String terminateChild(ChildProcess& child);
void waitForChild(ChildProcess& child);

// The program's job. Windows: the kill-on-close job; throws cpp::Exception.
void createProgramJob();
// Put a child started with pipes into it; failure is ignored.
void assignToProgramJob(ChildProcess& child) noexcept;

} // namespace cpp::detail
