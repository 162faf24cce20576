#pragma once

#include "cpp/string.h"
#include "cpp/time.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace cpp {

namespace detail {
class InterruptibleWait;
} // namespace detail

// A unique lock over a standard mutex. Waits through an interruptible one are
// interruption points; waits through a plain one are ordinary waits.
class InterruptibleLock : public std::unique_lock<std::mutex> {
public:
    explicit InterruptibleLock(std::mutex& mutex, bool interruptible = true)
        : std::unique_lock<std::mutex>(mutex), interruptible_(interruptible) {}

    bool interruptible() const { return interruptible_; }

private:
    friend class detail::InterruptibleWait;

    bool interruptible_;
    // The condition variable of the wait in progress, for whoever interrupts it.
    std::condition_variable* waitingFor_ = nullptr;
};

// Waits on condition through lock, which owns its mutex. Through an
// interruptible lock it throws InterruptException when the thread has been
// interrupted, before or during the wait. Like the standard waits it may
// return without a notification.
void wait(InterruptibleLock& lock, std::condition_variable& condition);
// As wait, for at most duration (infinite: no time-out). True if it timed out.
bool waitFor(InterruptibleLock& lock, std::condition_variable& condition, Duration duration);
// As wait, until deadline. True if it timed out.
bool waitUntil(InterruptibleLock& lock, std::condition_variable& condition, const Time& deadline);

// A standard thread that carries its name, the exception that ended it and
// cooperative interruption. Threads are never killed: they are interrupted,
// which makes their next interruption point throw, and joined.
class Thread {
public:
    // What every thread, started here or not, shares about itself.
    class Info {
    public:
        Info() = default;
        Info(const Info&) = delete;
        Info& operator=(const Info&) = delete;

        String name() const;
        // The exception that escaped the thread's function, or null.
        std::exception_ptr exception() const;
        bool interrupted() const { return interrupted_.load(); }

        // From any thread. The flag is never cleared, so every later
        // interruption point of the thread throws again. If the thread waits,
        // this passes briefly through the mutex of its wait, so never call it
        // while holding that mutex.
        void interrupt();

    private:
        friend class Thread;
        friend class detail::InterruptibleWait;

        mutable std::mutex mutex_; // name_ and exception_
        String name_;
        std::exception_ptr exception_;
        std::atomic<bool> interrupted_{false};
        // Held by an interrupter while it uses waitingOn_, so that the waiter
        // cannot leave its wait (and release the lock) under its feet.
        std::mutex waitMutex_;
        std::atomic<InterruptibleLock*> waitingOn_{nullptr};
    };

    Thread() noexcept = default;
    // Returns once the new thread's Info is in place: info() is valid at once.
    // An exception escaping function is kept in the Info and ends the thread.
    explicit Thread(std::function<void()> function);
    Thread(Thread&&) noexcept = default;
    // Interrupts and joins the thread this one held, if it is joinable.
    Thread& operator=(Thread&& other) noexcept;
    // Interrupts and joins the thread if it is joinable.
    ~Thread();

    void interrupt();
    // The standard join, with its errors (joining itself: resource deadlock).
    void join();
    bool joinable() const { return thread_.joinable(); }
    const std::shared_ptr<Info>& info() const { return info_; }

    // The calling thread's Info, created on first use.
    static const std::shared_ptr<Info>& current();
    // Names the calling thread, for Thread::name and for the system's tools.
    static void setName(const String& name);
    static String name();
    // Throws InterruptException if the calling thread has been interrupted.
    static void interruptionPoint();
    // Only an interrupt ends it early; the infinite duration waits for one.
    static void sleep(Duration duration);

private:
    void finish() noexcept;

    std::thread thread_;
    std::shared_ptr<Info> info_;
};

// A resizable set of worker threads that all run one body. Worker i is named
// "<name> (#i+1)", or "ThreadGroup (#i+1)" without a name. A worker ends
// quietly when interrupted; other standard exceptions of the body go to the
// exception handler, if there is one, and end the worker too.
class ThreadGroup {
public:
    using Body = std::function<void()>;
    using ExceptionHandler = std::function<void(const std::exception&)>;

    // With no threads.
    ThreadGroup(String name, Body body);
    // resize(0).
    ~ThreadGroup();
    ThreadGroup(const ThreadGroup&) = delete;
    ThreadGroup& operator=(const ThreadGroup&) = delete;

    // From one thread at a time. Shrinking interrupts and joins the workers
    // from index count on; growing starts workers numbered on from the last.
    void resize(std::size_t count);
    std::size_t size() const { return threads_.size(); }
    const String& name() const { return name_; }

    // For exceptions thrown from now on; calls run on the worker threads.
    void setExceptionHandler(ExceptionHandler handler);

private:
    void run(std::size_t index);

    const String name_;
    const Body body_;
    std::mutex handlerMutex_;
    ExceptionHandler handler_;
    std::vector<std::shared_ptr<Thread>> threads_;
};

} // namespace cpp
