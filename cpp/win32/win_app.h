#pragma once

#include "cpp/program.h"

#include <memory>

namespace cpp::Program {

// The frame of a windowed program: the console frame plus the message pump.
// COM is initialised for the constructing thread, multithreaded, before the
// window layer's module.
class WinApp : public Standard {
public:
    explicit WinApp(const std::wstring& commandLine);
    ~WinApp() override;

    // Drains every pending message, then runs the due work.
    bool poll() override;
    // Sleeps in the system until input arrives or deadline passes, handing
    // each message to its window (or dialog), then runs the due work. Returns
    // false at once, running nothing, when the quit message arrives.
    bool pump(const Time& deadline) override;

    class Detail;

private:
    std::shared_ptr<Detail> detail_;
};

} // namespace cpp::Program
