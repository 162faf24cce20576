#pragma once

#include "cpp/string.h"
#include "cpp/time.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace cpp {

// How work moves between threads: any thread posts a task to the window
// thread, which runs it at its next dispatch, or to the bus's worker threads.
// Tasks run by due time (now + delay at posting), and in posting order within
// one due time. Copies share one bus.
class Bus {
public:
    using Task = std::function<void()>;
    using ErrorHandler = std::function<void(const std::exception&)>;

    // Called by every main-thread dispatch until it returns true or throws.
    class Poller {
    public:
        virtual ~Poller() = default;
        virtual bool poll() = 0;
    };

    static Bus create(std::size_t threadCount, String name);

    // To the window thread; calls the waker, if there is one.
    void post(Task task, Duration delay = Duration()) const;
    // To a worker; wakes one that waits.
    void postWork(Task task, Duration delay = Duration()) const;

    // The window thread's share: runs the pollers and every task due now.
    // Tasks posted meanwhile wait for the next dispatch.
    void dispatchMain() const;

    // From one thread at a time; shrinking interrupts and joins workers.
    void resize(std::size_t threadCount) const;

    // When the window thread's next dispatch has work: now while there are
    // pollers, else the earliest task's due time; nothing when idle.
    std::optional<Time> nextMainDue() const;
    // Called by every post to the window thread, on the posting thread and
    // under the bus's lock, so it must be quick and must not post; after
    // setMainWaker returns, a waker it replaced is no longer running. Empty
    // removes it.
    void setMainWaker(Task waker) const;

    void addPoller(std::shared_ptr<Poller> poller) const;
    // Told about every standard exception of a task or poller.
    void setErrorHandler(ErrorHandler handler) const;

    std::int32_t waitingWorkers() const;
    std::int32_t activeWorkers() const;

    class Detail;

private:
    explicit Bus(std::shared_ptr<Detail> detail) : detail_(std::move(detail)) {}

    std::shared_ptr<Detail> detail_;
};

} // namespace cpp
