#include "cpp/process_platform.h"

#include "cpp/exception.h"
#include "cpp/win32/unique_handle.h"
#include "cpp/win32/windows_exception.h"

#include <windows.h>

#include <algorithm>

namespace cpp::detail {

struct PipeEnd {
    windows::UniqueKernelHandle handle;
};
struct ReadCanceller {
    windows::UniqueKernelHandle thread;
};
struct ChildProcess {
    windows::UniqueKernelHandle process;
};

void PipeEndFree::operator()(PipeEnd* end) const noexcept {
    delete end;
}
void ReadCancellerFree::operator()(ReadCanceller* canceller) const noexcept {
    delete canceller;
}
void ChildProcessFree::operator()(ChildProcess* child) const noexcept {
    delete child;
}

namespace {

PipeEndOwner pipeEnd(HANDLE handle) {
    return PipeEndOwner(new PipeEnd{windows::UniqueKernelHandle(handle)});
}

// Created once and never closed: the system closes it when the process ends,
// however it ends, and that kills every child still in it.
HANDLE programJob = nullptr;

} // namespace

PipeEnds createPipe(std::size_t size, bool parentReads) {
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof(attributes);
    attributes.bInheritHandle = TRUE;
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!CreatePipe(&read, &write, &attributes, static_cast<DWORD>(size))) {
        throw windows::Exception();
    }
    PipeEnds ends{pipeEnd(read), pipeEnd(write)};
    if (!SetHandleInformation(parentReads ? read : write, HANDLE_FLAG_INHERIT, 0)) {
        throw windows::Exception();
    }
    return ends;
}

ReadCancellerOwner openReadCanceller() {
    // GetCurrentThread is a pseudo handle that means "the caller" wherever it
    // is used, so the canceller needs a real one.
    HANDLE thread = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return ReadCancellerOwner(new ReadCanceller{windows::UniqueKernelHandle(thread)});
}

void cancelRead(ReadCanceller& canceller) noexcept {
    // ERROR_NOT_FOUND when the reader is not inside a read yet; the caller
    // tries again.
    CancelSynchronousIo(canceller.thread.get());
}

std::size_t readPipe(PipeEnd& end, ReadCanceller*, std::span<char> buffer) {
    DWORD count = 0;
    const DWORD wanted = static_cast<DWORD>((std::min<std::size_t>)(buffer.size(), MAXDWORD));
    // Fails with ERROR_BROKEN_PIPE once the child's end is closed, with
    // ERROR_OPERATION_ABORTED when cancelled.
    if (!ReadFile(end.handle.get(), buffer.data(), wanted, &count, nullptr)) {
        return 0;
    }
    return count;
}

bool writePipe(PipeEnd& end, TextSpan bytes) {
    const char* next = bytes.begin();
    std::size_t left = bytes.size();
    while (left > 0) {
        DWORD written = 0;
        const DWORD wanted = static_cast<DWORD>((std::min<std::size_t>)(left, MAXDWORD));
        if (!WriteFile(end.handle.get(), next, wanted, &written, nullptr)) {
            return false;
        }
        next += written;
        left -= written;
    }
    return true;
}

PipeEndOwner duplicateStandardOutput() {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE own = nullptr;
    if (output == nullptr || output == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), output, GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return pipeEnd(own);
}

ChildProcessOwner startChild(const FilePath& program, const String& arguments, const FilePath& directory,
                             const ChildHandles* handles) {
    // The arguments go as given: the caller quotes what needs quoting.
    std::wstring commandLine = String("\"%\" %", program.toString('\\'), arguments).toWide();
    const std::wstring folder = (directory.empty() ? program.parent() : directory).toString('\\').toWide();

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    DWORD flags = NORMAL_PRIORITY_CLASS;
    BOOL inherit = FALSE;
    if (handles) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = handles->input.handle.get();
        startup.hStdOutput = handles->output.handle.get();
        startup.hStdError = handles->error.handle.get();
        flags = CREATE_NO_WINDOW;
        inherit = TRUE;
    }
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, inherit, flags, nullptr, folder.c_str(),
                        &startup, &info)) {
        throw windows::Exception();
    }
    const windows::UniqueKernelHandle thread(info.hThread);
    return ChildProcessOwner(new ChildProcess{windows::UniqueKernelHandle(info.hProcess)});
}

std::uint64_t childId(const ChildProcess& child) {
    return GetProcessId(child.process.get());
}

std::optional<std::uint32_t> childExitCode(ChildProcess& child) {
    DWORD code = 0;
    if (!GetExitCodeProcess(child.process.get(), &code)) {
        // A handle we cannot ask about any more: treat the child as gone.
        return std::uint32_t(0);
    }
    if (code == STILL_ACTIVE) {
        return std::nullopt;
    }
    return code;
}

String terminateChild(ChildProcess& child) {
    if (TerminateProcess(child.process.get(), 0)) {
        return String();
    }
    return windows::Exception().message();
}

void waitForChild(ChildProcess& child) {
    WaitForSingleObject(child.process.get(), INFINITE);
}

void createProgramJob() {
    windows::UniqueKernelHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) {
        throw Exception("cpp::Process::createProgramJob() - Unable to create a job");
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
        throw Exception("cpp::Process::createProgramJob() - Unable to set limit information for the Program's job");
    }
    programJob = job.release();
}

void assignToProgramJob(ChildProcess& child) noexcept {
    // Ignored on failure: a process already in a job that allows no nesting
    // (before Windows 8) cannot join ours, and the child should still run.
    if (programJob) {
        AssignProcessToJobObject(programJob, child.process.get());
    }
}

} // namespace cpp::detail
