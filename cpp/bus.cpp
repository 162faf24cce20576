#include "cpp/bus.h"

#include "cpp/exception.h"
#include "cpp/thread.h"

#include <condition_variable>
#include <list>
#include <map>
#include <mutex>
#include <vector>

namespace cpp {

namespace {

using Queue = std::map<Time, std::vector<Bus::Task>>;

// Adds task to queue, due at now + delay; the caller holds the queue's lock.
void enqueueLocked(Queue& queue, Bus::Task task, Duration delay) {
    queue[Time() + delay].push_back(std::move(task));
}

} // namespace

class Bus::Detail {
public:
    Detail(std::size_t threadCount, String name)
        : workers(std::move(name), [this] { workerLoop(); }) {
        workers.resize(threadCount);
    }

    // Hands a standard exception to the error handler, if there is one.
    void report(const std::exception& error) {
        ErrorHandler handler;
        {
            std::lock_guard lock(handlerMutex);
            handler = errorHandler;
        }
        if (handler) {
            handler(error);
        }
    }

    void run(const Task& task) {
        try {
            task();
        } catch (const InterruptException&) {
            // The worker is being stopped; its loop ends at the next check.
        } catch (const std::exception& error) {
            report(error);
        }
    }

    void workerLoop();
    void dispatchMain();

    std::mutex workerMutex;
    std::condition_variable workerReady;
    std::mutex mainMutex;
    Queue workerQueue;
    Queue mainQueue;
    std::mutex handlerMutex;
    ErrorHandler errorHandler;
    std::list<std::shared_ptr<Poller>> pollers;
    // Under mainMutex, as the main queue.
    Task mainWaker;
    std::int32_t waitingWorkers = 0;
    // Kept by the workers themselves, so that growing the group counts too.
    std::int32_t activeWorkers = 0;
    // Last, so that the workers, which use everything above, stop first.
    ThreadGroup workers;
};

void Bus::Detail::workerLoop() {
    InterruptibleLock lock(workerMutex);
    ++activeWorkers;
    // Leaving the loop, by interruption or otherwise, lowers the active count.
    struct Leave {
        InterruptibleLock& lock;
        std::int32_t& active;
        ~Leave() {
            if (!lock.owns_lock()) {
                lock.lock();
            }
            --active;
        }
    } leave{lock, activeWorkers};

    // Around each wait the worker counts itself as waiting, not active.
    auto waitCounted = [&](auto&& waitOnce) {
        --activeWorkers;
        ++waitingWorkers;
        try {
            waitOnce();
        } catch (...) {
            --waitingWorkers;
            ++activeWorkers;
            throw;
        }
        --waitingWorkers;
        ++activeWorkers;
    };

    for (;;) {
        Thread::interruptionPoint();
        while (workerQueue.empty()) {
            waitCounted([&] { wait(lock, workerReady); });
        }
        const Time due = workerQueue.begin()->first;
        if (due > Time()) {
            waitCounted([&] { waitUntil(lock, workerReady, due); });
            continue;
        }
        auto earliest = workerQueue.begin();
        Task task = std::move(earliest->second.front());
        earliest->second.erase(earliest->second.begin());
        if (earliest->second.empty()) {
            workerQueue.erase(earliest);
        }
        lock.unlock();
        const String name = Thread::name();
        run(task);
        task = nullptr;
        lock.lock();
        if (Thread::name() != name) {
            Thread::setName(name);
        }
    }
}

void Bus::Detail::dispatchMain() {
    std::vector<std::shared_ptr<Poller>> polled;
    std::vector<Task> due;
    {
        std::lock_guard lock(mainMutex);
        polled.assign(pollers.begin(), pollers.end());
        while (!mainQueue.empty() && !(mainQueue.begin()->first > Time())) {
            for (Task& task : mainQueue.begin()->second) {
                due.push_back(std::move(task));
            }
            mainQueue.erase(mainQueue.begin());
        }
    }

    std::vector<std::shared_ptr<Poller>> finished;
    for (const auto& poller : polled) {
        try {
            if (poller->poll()) {
                finished.push_back(poller);
            }
        } catch (const std::exception& error) {
            finished.push_back(poller);
            report(error);
        }
    }

    for (const Task& task : due) {
        run(task);
    }

    if (!finished.empty()) {
        std::lock_guard lock(mainMutex);
        for (const auto& poller : finished) {
            pollers.remove(poller);
        }
    }
}

Bus Bus::create(std::size_t threadCount, String name) {
    return Bus(std::make_shared<Detail>(threadCount, std::move(name)));
}

void Bus::post(Task task, Duration delay) const {
    std::lock_guard lock(detail_->mainMutex);
    enqueueLocked(detail_->mainQueue, std::move(task), delay);
    if (detail_->mainWaker) {
        detail_->mainWaker();
    }
}

void Bus::postWork(Task task, Duration delay) const {
    {
        std::lock_guard lock(detail_->workerMutex);
        enqueueLocked(detail_->workerQueue, std::move(task), delay);
    }
    detail_->workerReady.notify_one();
}

void Bus::dispatchMain() const {
    detail_->dispatchMain();
}

void Bus::resize(std::size_t threadCount) const {
    detail_->workers.resize(threadCount);
}

std::optional<Time> Bus::nextMainDue() const {
    std::lock_guard lock(detail_->mainMutex);
    if (!detail_->pollers.empty()) {
        return Time();
    }
    if (detail_->mainQueue.empty()) {
        return std::nullopt;
    }
    return detail_->mainQueue.begin()->first;
}

void Bus::setMainWaker(Task waker) const {
    std::lock_guard lock(detail_->mainMutex);
    detail_->mainWaker = std::move(waker);
}

void Bus::addPoller(std::shared_ptr<Poller> poller) const {
    std::lock_guard lock(detail_->mainMutex);
    detail_->pollers.push_back(std::move(poller));
    if (detail_->mainWaker) {
        detail_->mainWaker();
    }
}

void Bus::setErrorHandler(ErrorHandler handler) const {
    std::lock_guard lock(detail_->handlerMutex);
    detail_->errorHandler = std::move(handler);
}

std::int32_t Bus::waitingWorkers() const {
    std::lock_guard lock(detail_->workerMutex);
    return detail_->waitingWorkers;
}

std::int32_t Bus::activeWorkers() const {
    std::lock_guard lock(detail_->workerMutex);
    return detail_->activeWorkers;
}

} // namespace cpp
