#include "cpp/bus.h"

#include "cpp/exception.h"
#include "cpp/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>

namespace cpp {
namespace {

// Waits, generously, for condition to hold; false if it never did.
template <class Condition>
bool eventually(Condition condition) {
    for (int i = 0; i < 1000 && !condition(); ++i) {
        Thread::sleep(Duration::milliseconds(10));
    }
    return condition();
}

class Recorder {
public:
    Bus::Task add(int value) {
        return [this, value] {
            std::lock_guard lock(mutex_);
            values_.push_back(value);
        };
    }
    std::vector<int> values() {
        std::lock_guard lock(mutex_);
        return values_;
    }

private:
    std::mutex mutex_;
    std::vector<int> values_;
};

TEST(BusMain, DueTimeFirstThenPostingOrderAndAThrowingTaskStopsNoOther) {
    const Bus bus = Bus::create(0, "Bus");
    std::vector<std::string> errors;
    bus.setErrorHandler([&](const std::exception& error) { errors.push_back(error.what()); });
    Recorder recorder;
    bus.post(recorder.add(1), Duration::milliseconds(20));
    bus.post(recorder.add(2), Duration::milliseconds(20));
    bus.post([] { throw std::runtime_error("task failed"); });
    // Posted during the dispatch: waits for the next one.
    bus.post([&] { bus.post(recorder.add(5)); recorder.add(3)(); });
    bus.post(recorder.add(4));
    Thread::sleep(Duration::milliseconds(40));
    bus.dispatchMain();
    EXPECT_EQ(recorder.values(), (std::vector<int>{3, 4, 1, 2}));
    EXPECT_EQ(errors, std::vector<std::string>{"task failed"});
    bus.dispatchMain();
    EXPECT_EQ(recorder.values(), (std::vector<int>{3, 4, 1, 2, 5}));
}

TEST(BusMain, DelayedTaskWaitsForItsDueTime) {
    const Bus bus = Bus::create(0, "Bus");
    std::atomic<bool> ran{false};
    const Time posted;
    bus.post([&] { ran = true; }, Duration::milliseconds(200));
    bus.dispatchMain();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(eventually([&] {
        bus.dispatchMain();
        return ran.load();
    }));
    EXPECT_GE(Time() - posted, Duration::milliseconds(200));
}

TEST(BusMain, PollersRunEveryDispatchUntilFinished) {
    struct CountingPoller : Bus::Poller {
        int calls = 0;
        int finishAt;
        bool fail;
        CountingPoller(int finish, bool failing) : finishAt(finish), fail(failing) {}
        bool poll() override {
            ++calls;
            if (fail) {
                throw std::runtime_error("poller failed");
            }
            return calls == finishAt;
        }
    };
    const Bus bus = Bus::create(0, "Bus");
    int errors = 0;
    bus.setErrorHandler([&](const std::exception&) { ++errors; });
    auto finishing = std::make_shared<CountingPoller>(2, false);
    auto failing = std::make_shared<CountingPoller>(0, true);
    bus.addPoller(finishing);
    bus.addPoller(failing);
    for (int i = 0; i < 4; ++i) {
        bus.dispatchMain();
    }
    EXPECT_EQ(finishing->calls, 2);
    EXPECT_EQ(failing->calls, 1);
    EXPECT_EQ(errors, 1);
}

TEST(BusWorkers, RunTasksInOrderOnNamedWorkersAndUndoARename) {
    const Bus bus = Bus::create(1, "Bus");
    Recorder recorder;
    std::vector<String> names;
    bus.postWork(recorder.add(2), Duration::milliseconds(30));
    bus.postWork(recorder.add(1));
    bus.postWork([&] { Thread::setName("Loader"); names.push_back(Thread::name()); });
    bus.postWork([&] { names.push_back(Thread::name()); });
    ASSERT_TRUE(eventually([&] { return recorder.values().size() == 2; }));
    EXPECT_EQ(recorder.values(), (std::vector<int>{1, 2}));
    // The one worker ran the renaming task before the delayed one ended.
    EXPECT_EQ(names, (std::vector<String>{"Loader", "Bus (#1)"}));
}

TEST(BusWorkers, CountsWaitingAndActiveWorkers) {
    const Bus bus = Bus::create(0, "Bus");
    bus.resize(2);
    EXPECT_TRUE(eventually([&] { return bus.waitingWorkers() == 2 && bus.activeWorkers() == 0; }));
    std::atomic<bool> release{false};
    bus.postWork([&] { eventually([&] { return release.load(); }); });
    EXPECT_TRUE(eventually([&] { return bus.activeWorkers() == 1 && bus.waitingWorkers() == 1; }));
    release = true;
    EXPECT_TRUE(eventually([&] { return bus.waitingWorkers() == 2; }));
    bus.resize(0);
    EXPECT_EQ(bus.waitingWorkers(), 0);
    EXPECT_EQ(bus.activeWorkers(), 0);
}

TEST(BusWorkers, ShrinkingStopsWorkersInAnyWait) {
    const Bus bus = Bus::create(3, "Bus");
    std::atomic<int> started{0};
    // One worker sleeps in a task, one waits for a task due in an hour, one idles.
    bus.postWork([&] {
        ++started;
        Thread::sleep(Duration::infinite);
    });
    bus.postWork([] { ADD_FAILURE() << "ran early"; }, Duration::hours(1));
    ASSERT_TRUE(eventually([&] { return started == 1; }));
    bus.resize(0);
    EXPECT_EQ(bus.activeWorkers(), 0);
}

// What a sleeping window thread is told: each post and poller wakes it, and
// it learns when the next dispatch has work.
TEST(BusMain, TheWakerHearsEveryPostAndTheNextDueTimeFollowsTheQueue) {
    const Bus bus = Bus::create(0, "Bus");
    EXPECT_FALSE(bus.nextMainDue());
    std::atomic<int> wakes{0};
    bus.setMainWaker([&] { ++wakes; });

    const Time before;
    bus.post([] {}, Duration::hours(1));
    const std::optional<Time> later = bus.nextMainDue();
    ASSERT_TRUE(later);
    EXPECT_GE(*later - before, Duration::hours(1));
    bus.post([] {}, Duration::milliseconds(5));
    const std::optional<Time> sooner = bus.nextMainDue();
    ASSERT_TRUE(sooner);
    EXPECT_LT(*sooner, *later);
    // From another thread as from this one.
    Thread poster([&] { bus.post([] {}); });
    poster.join();
    EXPECT_EQ(wakes, 3);

    // Refused posts wake nothing; workers' tasks are not the window thread's.
    EXPECT_THROW(bus.post([] {}, Duration::infinite), DurationException);
    bus.postWork([] {});
    EXPECT_EQ(wakes, 3);

    // A poller wants every dispatch: due now, whatever the queue holds.
    class Once : public Bus::Poller {
    public:
        bool poll() override { return true; }
    };
    bus.addPoller(std::make_shared<Once>());
    EXPECT_EQ(wakes, 4);
    const std::optional<Time> polled = bus.nextMainDue();
    ASSERT_TRUE(polled);
    EXPECT_LE(*polled, Time());

    // The poller went, and so did the task due in 5 ms once past: only the
    // one due in an hour is left.
    Thread::sleep(Duration::milliseconds(10));
    bus.dispatchMain();
    EXPECT_EQ(bus.nextMainDue(), later);

    bus.setMainWaker(nullptr);
    bus.post([] {});
    EXPECT_EQ(wakes, 4);
}

TEST(BusWorkers, InfiniteDelayIsRefusedAtPosting) {
    const Bus bus = Bus::create(0, "Bus");
    EXPECT_THROW(bus.postWork([] {}, Duration::infinite), DurationException);
    EXPECT_THROW(bus.post([] {}, Duration::infinite), DurationException);
}

} // namespace
} // namespace cpp
