#pragma once

#include "cpp/time.h"

#include <memory>

// Only the file layer needs asio's declarations; everyone else just passes
// the service along.
namespace asio {
class io_context;
} // namespace asio

namespace cpp {

// A handle on one asynchronous I/O service. Copies share the service, and a
// const handle drives it as well as any other. Completion handlers run on
// whichever thread is driving the service at that moment. Errors that asio
// reports are thrown as std::system_error.
class AsyncIO {
public:
    // A new service.
    AsyncIO();

    // Runs at most one ready handler without blocking; true if one ran.
    bool pollOne() const;
    // Blocks until one handler has run and returns true; false at once when
    // the service has no outstanding work or has been stopped.
    bool runOne() const;
    // Drives the service until one handler has run (true) or duration has
    // passed (false); the infinite duration is runOne. Bounded waits poll
    // every 10 ms through Thread::sleep, so they are interruption points and
    // throw InterruptException.
    bool runFor(Duration duration) const;

    // For good: pollOne, runOne and runFor run nothing from then on, and a
    // thread blocked in runOne returns.
    void stop() const;
    bool stopped() const;

    // For creating asio objects on; include <asio/io_context.hpp> to use it.
    asio::io_context& context() const;

private:
    class Detail;
    std::shared_ptr<Detail> detail_;
};

} // namespace cpp
