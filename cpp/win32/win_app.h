#pragma once

#include "cpp/program.h"

#include <memory>

namespace cpp::Program {

// The frame of a windowed program: the console frame plus the message pump.
// COM is initialised for the constructing thread as a single-threaded
// apartment, before the window layer's module. A post to the window thread
// wakes its pump.
class WinApp : public Standard {
public:
    explicit WinApp(const std::wstring& commandLine);
    ~WinApp() override;

    // Drains every pending message, then runs the due work.
    bool poll() override;
    // Sleeps in the system, handing each message that arrives to its window
    // (or dialog), until a task is posted, the earliest posted task falls due
    // or deadline passes; then runs the due work. Returns false at once,
    // running nothing, when the quit message arrives.
    bool pump(const Time& deadline) override;

    class Detail;

private:
    std::shared_ptr<Detail> detail_;
};

} // namespace cpp::Program
