#include "cpp/async_io.h"

#include "cpp/thread.h"

#include <asio/io_context.hpp>

#include <mutex>

namespace cpp {

class AsyncIO::Detail {
public:
    // asio stops a context that runs out of work, and a stopped context runs
    // nothing until restart(). The pump polls forever, and work may be added
    // at any time, so only an explicit stop() is allowed to stick. False once
    // stop() was called: the completion port back end would otherwise still
    // hand out packets queued ahead of its stop packet.
    bool prepare() {
        std::lock_guard lock(mutex_);
        if (stopRequested_) {
            return false;
        }
        if (context_.stopped()) {
            context_.restart();
        }
        return true;
    }

    void stop() {
        // Under the lock, so that a concurrent prepare() cannot undo it.
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
        context_.stop();
    }

    bool stopRequested() const {
        std::lock_guard lock(mutex_);
        return stopRequested_;
    }

    asio::io_context& context() { return context_; }

private:
    // On Windows this also holds asio's Winsock initialisation.
    asio::io_context context_;
    mutable std::mutex mutex_;
    bool stopRequested_ = false;
};

AsyncIO::AsyncIO() : detail_(std::make_shared<Detail>()) {}

// asio's throwing overloads raise std::system_error with the bare error code.
bool AsyncIO::pollOne() const {
    return detail_->prepare() && detail_->context().poll_one() != 0;
}

bool AsyncIO::runOne() const {
    return detail_->prepare() && detail_->context().run_one() != 0;
}

bool AsyncIO::runFor(Duration duration) const {
    if (duration.isInfinite()) {
        return runOne();
    }
    // Polling rather than blocking in the service keeps the wait
    // interruptible.
    const Duration pollInterval = Duration::milliseconds(10);
    const Stopwatch stopwatch;
    while (stopwatch.elapsed() < duration) {
        if (pollOne()) {
            return true;
        }
        Thread::sleep(pollInterval);
    }
    return false;
}

void AsyncIO::stop() const {
    detail_->stop();
}

bool AsyncIO::stopped() const {
    return detail_->stopRequested();
}

asio::io_context& AsyncIO::context() const {
    return detail_->context();
}

} // namespace cpp
