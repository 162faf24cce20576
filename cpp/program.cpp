#include "cpp/program.h"

#include "cpp/command_line.h"
#include "cpp/program_paths.h"

#include <atomic>

namespace cpp::Program {

namespace {

thread_local Standard* threadProgram = nullptr;
std::atomic<Standard*> processProgram{nullptr};

FilePath pathOrEmpty(const String& text) {
    return text.empty() ? FilePath() : FilePath(text);
}

} // namespace

Standard::Standard(const std::wstring& commandLine) : bus_(Bus::create(0, "Bus")) {
    const String text(commandLine);
    properties_.set("cmdline", text);
    const std::vector<String> arguments = splitCommandLine(text);
    properties_.set("argc", String(arguments.size()));
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        properties_.parseLine(arguments[i]);
        properties_.set(String("arg[%]", i), arguments[i]);
    }
    programPath_ = pathOrEmpty(detail::programFilePath());
    currentDirectory_ = pathOrEmpty(detail::workingDirectoryPath());
    if (!currentDirectory_.empty()) {
        FilePath::setWorkingDirectory(currentDirectory_);
    }

    Standard* none = nullptr;
    processProgram.compare_exchange_strong(none, this);
    if (!threadProgram) {
        threadProgram = this;
    }
}

Standard::~Standard() {
    // What the program's parts logged as they went still reaches the filters,
    // which may write through the I/O service.
    logger_.stop();
    asyncIO_.stop();
    Standard* self = this;
    processProgram.compare_exchange_strong(self, nullptr);
    if (threadProgram == this) {
        threadProgram = nullptr;
    }
}

bool Standard::poll() {
    runDueWork();
    return running_;
}

bool Standard::pump(const Time&) {
    return poll();
}

void Standard::runDueWork() {
    bus_.dispatchMain();
    asyncIO_.pollOne();
}

Standard* current() {
    return threadProgram ? threadProgram : processProgram.load();
}

} // namespace cpp::Program
