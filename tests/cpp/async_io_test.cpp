#include "cpp/async_io.h"

#include "cpp/exception.h"
#include "cpp/thread.h"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace cpp {
namespace {

// Runs call on a thread of its own; false if it did not come back within a
// generous bound. A hung call is then released by stopping the service, so a
// fault fails the test instead of hanging the run.
bool returnsWithin(const AsyncIO& io, const std::function<void()>& call) {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    Thread thread([&] {
        call();
        std::lock_guard lock(mutex);
        done = true;
        changed.notify_all();
    });
    std::unique_lock lock(mutex);
    const bool inTime = changed.wait_for(lock, std::chrono::seconds(10), [&] { return done; });
    lock.unlock();
    if (!inTime) {
        io.stop();
    }
    thread.join();
    return inTime;
}

bool eventually(const std::atomic<bool>& flag) {
    for (int i = 0; i < 1000 && !flag; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return flag;
}

TEST(AsyncIO, PollOneRunsOneHandlerPerCallAndAServiceOutOfWorkTakesNewWork) {
    AsyncIO io;
    EXPECT_FALSE(io.pollOne());
    ASSERT_TRUE(io.context().stopped()); // asio's reaction to finding no work
    int ran = 0;
    asio::post(io.context(), [&] { ++ran; });
    asio::post(io.context(), [&] { ++ran; });
    EXPECT_FALSE(io.runFor(Duration()));
    EXPECT_EQ(ran, 0);
    EXPECT_TRUE(io.pollOne());
    EXPECT_EQ(ran, 1);
    // Copies share the service.
    const AsyncIO copy = io;
    EXPECT_TRUE(copy.pollOne());
    EXPECT_FALSE(io.runOne());
    EXPECT_EQ(ran, 2);
    asio::post(io.context(), [&] { ++ran; });
    EXPECT_TRUE(io.runOne());
    EXPECT_EQ(ran, 3);
}

TEST(AsyncIO, RunForInfiniteWithoutWorkReturnsFalseAtOnce) {
    AsyncIO io;
    for (int i = 0; i < 2; ++i) { // the second time the context is already stopped
        bool result = true;
        ASSERT_TRUE(returnsWithin(io, [&] { result = io.runFor(Duration::infinite); }));
        EXPECT_FALSE(result);
    }
}

TEST(AsyncIO, RunForPicksUpWorkPostedDuringTheWait) {
    AsyncIO io;
    EXPECT_FALSE(io.runFor(Duration::milliseconds(30)));
    std::atomic<bool> ran{false};
    Thread poster([&] {
        Thread::sleep(Duration::milliseconds(50));
        asio::post(io.context(), [&] { ran = true; });
    });
    EXPECT_TRUE(io.runFor(Duration::seconds(10)));
    EXPECT_TRUE(ran);
}

TEST(AsyncIO, InterruptingAThreadInRunForThrowsInterruptException) {
    AsyncIO io;
    std::atomic<bool> waiting{false};
    Thread waiter([&] {
        waiting = true;
        io.runFor(Duration::seconds(60));
    });
    ASSERT_TRUE(eventually(waiting));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    waiter.interrupt();
    waiter.join();
    ASSERT_NE(waiter.info()->exception(), nullptr);
    EXPECT_THROW(std::rethrow_exception(waiter.info()->exception()), InterruptException);
}

TEST(AsyncIO, StopReleasesABlockedRunOneAndSticks) {
    AsyncIO io;
    auto guard = asio::make_work_guard(io.context());
    std::atomic<bool> started{false};
    bool result = true;
    Thread stopper([&] {
        if (eventually(started)) {
            Thread::sleep(Duration::milliseconds(30));
        }
        io.stop();
    });
    ASSERT_TRUE(returnsWithin(io, [&] {
        started = true;
        result = io.runOne();
    }));
    EXPECT_FALSE(result);
    EXPECT_TRUE(io.stopped());

    // Unlike running out of work, a stop is final: ready work stays unrun.
    bool ran = false;
    asio::post(io.context(), [&] { ran = true; });
    EXPECT_FALSE(io.pollOne());
    ASSERT_TRUE(returnsWithin(io, [&] { result = io.runOne(); }));
    EXPECT_FALSE(result);
    EXPECT_FALSE(io.runFor(Duration::milliseconds(30)));
    EXPECT_FALSE(ran);
}

} // namespace
} // namespace cpp
