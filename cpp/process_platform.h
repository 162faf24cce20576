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
// implements it. Handles travel as std::intptr_t (invalidSystemHandle: none).
namespace cpp::detail {

void closeSystemHandle(std::intptr_t handle) noexcept;

struct PipeEnds {
    std::intptr_t read;
    std::intptr_t write;
};
// An anonymous pipe of size bytes. The end the child will get stays
// inheritable; the parent's own end (the read end when parentReads) does not.
PipeEnds createPipe(std::size_t size, bool parentReads);

// Made by a pipe's reader thread for itself, so that another thread can end
// its blocking read without closing the handle under it.
std::intptr_t openReadCanceller();
void closeReadCanceller(std::intptr_t canceller) noexcept;
// Wakes the read in progress, or the next one, with nothing. May miss a read
// that is only about to start on some systems: callers retry until the
// reader is seen to leave.
void cancelRead(std::intptr_t canceller) noexcept;
// Blocks until bytes arrive; 0 at the end of the pipe, on failure or when cancelled.
std::size_t readPipe(std::intptr_t handle, std::intptr_t canceller, std::span<char> buffer);
// Writes all of bytes; false on failure.
bool writePipe(std::intptr_t handle, TextSpan bytes);
// A duplicate of the process's standard output, or invalidSystemHandle.
std::intptr_t duplicateStandardOutput();

struct ChildHandles {
    std::intptr_t input;
    std::intptr_t output;
    std::intptr_t error;
};
// Starts the child and returns its process handle; with handles, those become
// its standard handles and it gets no window. Throws cpp::windows::Exception
// (Windows) or cpp::IOException (POSIX) when it cannot be started.
std::intptr_t startChild(const FilePath& program, const String& arguments, const FilePath& directory,
                         const ChildHandles* handles);
std::uint64_t childId(std::intptr_t process);
// The exit code once the child has ended; nothing while it runs.
std::optional<std::uint32_t> childExitCode(std::intptr_t process);
// Ends the child with exit code 0 (where the system has exit codes for this);
// the system's error message on failure, else empty.
String terminateChild(std::intptr_t process);
void waitForChild(std::intptr_t process);
// Lets go of the process handle without touching the child.
void releaseChild(std::intptr_t process) noexcept;

// The program's job. Windows: the kill-on-close job; throws cpp::Exception.
void createProgramJob();
// Put a child started with pipes into it; failure is ignored.
void assignToProgramJob(std::intptr_t process) noexcept;

} // namespace cpp::detail
