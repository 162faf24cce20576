#include "cpp/thread.h"

#include "cpp/exception.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <stdexcept>

namespace cpp {
namespace {

// A hung join must fail the run, not stall it: past its bound the watchdog
// aborts the process.
class Watchdog {
public:
    explicit Watchdog(Duration bound)
        : thread_([this, bound] {
              std::unique_lock lock(mutex_);
              if (!disarmed_.wait_for(lock, bound.toChrono(), [this] { return done_; })) {
                  std::fprintf(stderr, "still running after %s\n", bound.text().c_str());
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        disarmed_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable disarmed_;
    bool done_ = false;
    std::thread thread_; // last: it uses the members above
};

template <class E>
bool holds(const std::exception_ptr& exception) {
    try {
        std::rethrow_exception(exception);
    } catch (const E&) {
        return true;
    } catch (...) {
        return false;
    }
}

TEST(Thread, InfoIsTheNewThreadsOwnFromTheStartAndKeepsWhatEscaped) {
    std::atomic<Thread::Info*> seenInside{nullptr};
    Thread thread([&] {
        seenInside = Thread::current().get();
        throw 42;
    });
    ASSERT_NE(thread.info(), nullptr);
    thread.join();
    EXPECT_EQ(seenInside.load(), thread.info().get());
    EXPECT_TRUE(holds<int>(thread.info()->exception()));
}

TEST(Thread, DestroyingAThreadAsleepForeverEndsItsSleep) {
    std::shared_ptr<Thread::Info> info;
    {
        const Watchdog watchdog(Duration::seconds(10));
        Thread thread([] { Thread::sleep(Duration::infinite); });
        info = thread.info();
    }
    EXPECT_TRUE(holds<InterruptException>(info->exception()));
}

TEST(Thread, AnInterruptedThreadIsThrownOutOfEveryLaterWait) {
    std::mutex mutex;
    std::condition_variable never;
    int thrown = 0;
    Thread thread([&] {
        InterruptibleLock lock(mutex);
        const std::function<void()> waits[] = {
            [&] { wait(lock, never); }, [&] { wait(lock, never); },
            [&] { waitFor(lock, never, Duration::hours(1)); }, [] { Thread::sleep(Duration::hours(1)); }};
        for (const auto& waitOnce : waits) {
            try {
                for (;;) { // past spurious wake-ups of the first wait
                    waitOnce();
                }
            } catch (const InterruptException&) {
                ++thrown;
            }
        }
    });
    const Watchdog watchdog(Duration::seconds(10));
    thread.interrupt();
    thread.join();
    EXPECT_EQ(thrown, 4);
}

TEST(Thread, AnInterruptArrivingAsAWaitBeginsIsNotLost) {
    // The thread is between its check of the flag and the start of its wait
    // when the interrupt comes: the notification must still reach it.
    const Watchdog watchdog(Duration::seconds(60));
    for (int round = 0; round < 2000; ++round) {
        std::mutex mutex;
        std::condition_variable never;
        std::atomic<bool> waiting{false};
        Thread thread([&] {
            InterruptibleLock lock(mutex);
            waiting = true;
            for (;;) {
                wait(lock, never);
            }
        });
        while (!waiting) {
        }
        thread.interrupt();
        thread.join();
    }
}

TEST(Thread, AnInterruptDuringShortWaitsAndSleepsEndsTheThread) {
    // Interrupts also land as waits end and sleeps release their own mutex.
    const Watchdog watchdog(Duration::seconds(60));
    for (int round = 0; round < 300; ++round) {
        Thread thread([round] {
            std::mutex mutex;
            std::condition_variable never;
            InterruptibleLock lock(mutex);
            for (std::uint64_t i = round;; ++i) {
                waitFor(lock, never, Duration(i % 50));
                Thread::sleep(Duration(i % 20));
            }
        });
        std::this_thread::sleep_for(std::chrono::microseconds(round % 100));
        thread.interrupt();
        thread.join();
        ASSERT_TRUE(holds<InterruptException>(thread.info()->exception())) << "round " << round;
    }
}

TEST(Thread, WaitForTimesOutAndPlainLocksIgnoreInterrupts) {
    std::mutex mutex;
    std::condition_variable never;
    {
        InterruptibleLock lock(mutex);
        EXPECT_TRUE(waitFor(lock, never, Duration::milliseconds(1)));
    }
    // A thread not started here gets an Info of its own on first use.
    std::thread foreign([&] {
        EXPECT_EQ(Thread::name(), "");
        Thread::setName("foreign");
        EXPECT_EQ(Thread::current()->name(), "foreign");
        Thread::current()->interrupt();
        InterruptibleLock lock(mutex, false);
        EXPECT_TRUE(waitFor(lock, never, Duration::milliseconds(1)));
        EXPECT_THROW(Thread::interruptionPoint(), InterruptException);
    });
    foreign.join();
    EXPECT_FALSE(Thread::current()->interrupted());
}

TEST(Thread, ManyThreadsComeAndGoEachWithItsOwnInfo) {
    // Loading starts and ends a thread per file: thread exit must be safe
    // however often it happens (it once freed the Info's storage twice under
    // mingw-w64), for ours and for threads started elsewhere.
    for (int round = 0; round < 100; ++round) {
        std::atomic<const Thread::Info*> seen{nullptr};
        Thread ours([&] {
            Thread::setName(String("short %", round));
            seen = Thread::current().get();
        });
        ours.join();
        ASSERT_EQ(seen.load(), ours.info().get()) << "round " << round;
        EXPECT_EQ(ours.info()->name(), String("short %", round));
        std::thread foreign([&] { seen = Thread::current().get(); });
        foreign.join();
        ASSERT_NE(seen.load(), nullptr);
        EXPECT_NE(seen.load(), Thread::current().get());
    }
}

TEST(Thread, ADeadlineThatCannotBeWaitedForLeavesNoWaitBehind) {
    std::atomic<bool> refused{false};
    Thread thread([&] {
        {
            std::mutex mutex;
            std::condition_variable never;
            InterruptibleLock lock(mutex);
            EXPECT_THROW(waitUntil(lock, never, Time(Duration::infinite)), DurationException);
        }
        refused = true;
        Thread::sleep(Duration::infinite);
    });
    while (!refused) {
        std::this_thread::yield();
    }
    // Must reach the sleep, not the lock that went out of scope above.
    thread.interrupt();
    thread.join();
}

TEST(ThreadGroup, WorkersAreNumberedFromOneAndOnlyRealFailuresReachTheHandler) {
    std::mutex mutex;
    std::condition_variable changed;
    std::multiset<String> failed;
    const auto failedOnce = [&](std::size_t count) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(10), [&] { return failed.size() >= count; });
        return failed;
    };
    std::atomic<bool> failing{true};
    ThreadGroup group("", [&] {
        if (failing) {
            throw std::runtime_error(Thread::name());
        }
        Thread::sleep(Duration::infinite);
    });
    group.setExceptionHandler([&](const std::exception& exception) {
        std::lock_guard lock(mutex);
        failed.insert(exception.what());
        changed.notify_all();
    });
    group.resize(0);
    group.resize(2);
    EXPECT_EQ(failedOnce(2), (std::multiset<String>{"ThreadGroup (#1)", "ThreadGroup (#2)"}));
    failing = false;
    group.resize(3);
    group.resize(3);
    EXPECT_EQ(group.size(), 3u);
    // Shrinking interrupts the sleeper, which is no failure; growing numbers on.
    group.resize(1);
    failing = true;
    group.resize(2);
    EXPECT_EQ(failedOnce(3), (std::multiset<String>{"ThreadGroup (#1)", "ThreadGroup (#2)", "ThreadGroup (#2)"}));
    group.resize(0);
    EXPECT_EQ(failedOnce(3).size(), 3u);
}

} // namespace
} // namespace cpp
