#pragma once

#include "cpp/program.h"

#include <cstdint>
#include <memory>

namespace cpp::Program {

// The frame of a windowed program: the console frame plus the message pump.
// COM is initialised for the constructing thread as a single-threaded
// apartment. A post to the window thread from another thread wakes its pump.
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

    // How often the pump's sleep in the system ended, by what ended it. At
    // exit the counts and the run's length go to the log, so that an idle
    // program can be seen to wake for work only.
    struct Wakes {
        std::uint64_t input = 0;    // a message, or other input to the thread
        std::uint64_t post = 0;     // a post's event
        std::uint64_t due = 0;      // the earliest posted task fell due
        std::uint64_t deadline = 0; // the caller's deadline passed
    };
    const Wakes& wakes() const;

    class Detail;

private:
    std::shared_ptr<Detail> detail_;
};

} // namespace cpp::Program
