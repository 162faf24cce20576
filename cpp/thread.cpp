#include "cpp/thread.h"

#include "cpp/exception.h"
#include "cpp/thread_name.h"

#include <deque>
#include <mutex>

namespace cpp {

namespace {

// Not an owner: under mingw-w64's emulated TLS a thread_local's destructor
// can run at thread exit after the variable's storage has been freed, a
// crash in every program that starts and ends threads. A thread we start
// points this at its own Info for as long as its function runs.
thread_local const std::shared_ptr<Thread::Info>* currentInfo = nullptr;

// A new Info for a thread we did not start (the main thread, a test's own),
// kept for the life of the process: no destructor of that thread's can be
// trusted to release it, and exit-time code may still ask for it. A deque
// keeps its elements in place as it grows.
const std::shared_ptr<Thread::Info>& newForeignInfo() {
    static auto* const mutex = new std::mutex;
    static auto* const infos = new std::deque<std::shared_ptr<Thread::Info>>;
    std::lock_guard lock(*mutex);
    return infos->emplace_back(std::make_shared<Thread::Info>());
}

} // namespace

// The bookkeeping around every wait through an interruptible lock.
//
// Lock order: an interrupter takes the waiter's waitMutex_ and then passes
// through the waiter's own mutex; the waiter therefore never blocks on
// waitMutex_ while it holds its mutex.
class detail::InterruptibleWait {
public:
    // Publishes the wait, then checks for an interrupt that came before it.
    // Returns the thread's Info when the lock is interruptible, else null.
    static Thread::Info* begin(InterruptibleLock& lock, std::condition_variable& condition) {
        if (!lock.interruptible()) {
            return nullptr;
        }
        Thread::Info& info = *Thread::current();
        lock.waitingFor_ = &condition;
        // Sequentially consistent with the interrupter's exchange of the flag:
        // either we see the flag below, or it sees this lock and wakes us.
        info.waitingOn_.store(&lock);
        if (info.interrupted_.load()) {
            withdraw(info, lock);
            throw InterruptException();
        }
        return &info;
    }

    static void end(Thread::Info* info, InterruptibleLock& lock) {
        if (info) {
            withdraw(*info, lock);
            Thread::interruptionPoint();
        }
    }

    static void interrupt(Thread::Info& info) {
        info.interrupted_.exchange(true);
        std::lock_guard guard(info.waitMutex_);
        InterruptibleLock* lock = info.waitingOn_.load();
        if (!lock) {
            return;
        }
        // The waiter holds its mutex from publishing the wait until the
        // condition variable releases it, so once we have passed through the
        // mutex it is either waiting (and the notification reaches it) or
        // already past the wait. Without this the notification could fall
        // between its check of the flag and its wait, and be lost.
        { std::lock_guard pass(*lock->mutex()); }
        lock->waitingFor_->notify_all();
    }

private:
    static void withdraw(Thread::Info& info, InterruptibleLock& lock) {
        std::unique_lock guard(info.waitMutex_, std::try_to_lock);
        if (guard.owns_lock()) {
            info.waitingOn_.store(nullptr);
            return;
        }
        // An interrupter holds waitMutex_ and may want our mutex: let it pass.
        lock.unlock();
        guard.lock();
        info.waitingOn_.store(nullptr);
        guard.unlock();
        lock.lock();
    }
};

using detail::InterruptibleWait;

void wait(InterruptibleLock& lock, std::condition_variable& condition) {
    Thread::Info* info = InterruptibleWait::begin(lock, condition);
    condition.wait(lock);
    InterruptibleWait::end(info, lock);
}

bool waitFor(InterruptibleLock& lock, std::condition_variable& condition, Duration duration) {
    if (duration.isInfinite()) {
        wait(lock, condition);
        return false;
    }
    return waitUntil(lock, condition, Time() + duration);
}

bool waitUntil(InterruptibleLock& lock, std::condition_variable& condition, const Time& deadline) {
    // Converted before the wait is published, so that a deadline that cannot
    // be waited for throws without leaving the wait behind.
    const auto until = deadline.toChrono();
    Thread::Info* info = InterruptibleWait::begin(lock, condition);
    const bool timedOut = condition.wait_until(lock, until) == std::cv_status::timeout;
    InterruptibleWait::end(info, lock);
    return timedOut;
}

String Thread::Info::name() const {
    std::lock_guard lock(mutex_);
    return name_;
}

std::exception_ptr Thread::Info::exception() const {
    std::lock_guard lock(mutex_);
    return exception_;
}

void Thread::Info::interrupt() {
    InterruptibleWait::interrupt(*this);
}

Thread::Thread(std::function<void()> function) {
    // Shared with the new thread rather than local: some pthread ports still
    // touch a mutex inside unlock after a waiter could already have taken it,
    // so neither side may destroy these while the other might use them.
    struct Startup {
        std::mutex mutex;
        std::condition_variable published;
    };
    auto startup = std::make_shared<Startup>();
    InterruptibleLock lock(startup->mutex, false);
    thread_ = std::thread([this, startup, function = std::move(function)] {
        const std::shared_ptr<Info> info = std::make_shared<Info>();
        currentInfo = &info;
        {
            std::lock_guard guard(startup->mutex);
            info_ = info;
        }
        startup->published.notify_one();
        try {
            function();
        } catch (...) {
            std::lock_guard guard(info->mutex_);
            info->exception_ = std::current_exception();
        }
        currentInfo = nullptr;
    });
    while (!info_) {
        wait(lock, startup->published);
    }
}

Thread& Thread::operator=(Thread&& other) noexcept {
    if (this != &other) {
        finish();
        thread_ = std::move(other.thread_);
        info_ = std::move(other.info_);
    }
    return *this;
}

Thread::~Thread() {
    finish();
}

void Thread::finish() noexcept {
    if (!thread_.joinable()) {
        return;
    }
    interrupt();
    if (thread_.get_id() == std::this_thread::get_id()) {
        // Released by its own function: it cannot join itself, so it runs out alone.
        thread_.detach();
        return;
    }
    thread_.join();
}

void Thread::interrupt() {
    if (info_) {
        info_->interrupt();
    }
}

void Thread::join() {
    thread_.join();
}

const std::shared_ptr<Thread::Info>& Thread::current() {
    if (!currentInfo) {
        currentInfo = &newForeignInfo();
    }
    return *currentInfo;
}

void Thread::setName(const String& name) {
    Info& info = *current();
    {
        std::lock_guard lock(info.mutex_);
        info.name_ = name;
    }
    detail::setThreadName(name);
}

String Thread::name() {
    return current()->name();
}

void Thread::interruptionPoint() {
    // Waits withdraw from waitingOn before they come here.
    if (current()->interrupted()) {
        throw InterruptException();
    }
}

void Thread::sleep(Duration duration) {
    std::mutex mutex;
    std::condition_variable never;
    InterruptibleLock lock(mutex);
    if (duration.isInfinite()) {
        for (;;) {
            wait(lock, never);
        }
    }
    // Nobody notifies `never` but an interrupter, which makes the wait throw;
    // anything else that wakes us early is spurious.
    const Time deadline = Time() + duration;
    while (!waitUntil(lock, never, deadline)) {
    }
}

ThreadGroup::ThreadGroup(String name, Body body) : name_(std::move(name)), body_(std::move(body)) {}

ThreadGroup::~ThreadGroup() {
    resize(0);
}

void ThreadGroup::resize(std::size_t count) {
    if (count < threads_.size()) {
        // Interrupt them all before joining any, so they wind down together.
        for (std::size_t i = count; i < threads_.size(); ++i) {
            threads_[i]->interrupt();
        }
        threads_.erase(threads_.begin() + static_cast<std::ptrdiff_t>(count), threads_.end());
        return;
    }
    while (threads_.size() < count) {
        const std::size_t index = threads_.size();
        threads_.push_back(std::make_shared<Thread>([this, index] { run(index); }));
    }
}

void ThreadGroup::setExceptionHandler(ExceptionHandler handler) {
    std::lock_guard lock(handlerMutex_);
    handler_ = std::move(handler);
}

void ThreadGroup::run(std::size_t index) {
    Thread::setName(String("% (#%)", name_.empty() ? String("ThreadGroup") : name_, index + 1));
    try {
        body_();
    } catch (const InterruptException&) {
        // Asked to stop: nothing to report.
    } catch (const std::exception& exception) {
        ExceptionHandler handler;
        {
            std::lock_guard lock(handlerMutex_);
            handler = handler_;
        }
        if (handler) {
            handler(exception);
        }
    }
}

} // namespace cpp
