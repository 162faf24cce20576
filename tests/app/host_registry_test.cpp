#include "app/host_registry.h"
#include "app/manual_clock.h"
#include "app/ping_stats_fixture.h"
#include "app/recording_view.h"
#include "app/sample_store.h"
#include "app/no_data_directory.h"

#include <gtest/gtest.h>

#include <vector>

using cpp::DateTime;
using cpp::Duration;

namespace {

// Seconds (and fractions) after 09:00 of the store's first day.
DateTime at(double second) {
    return fromOrigin(9 * 3600) + Duration(static_cast<std::uint64_t>(second * 1000000));
}

class HostRegistryTest : public ::testing::Test {
protected:
    HostRegistryTest() { registry.setView(&view); }

    // Raw results at the given seconds, then the values the window was told.
    std::vector<std::int32_t> feed(const cpp::String& name, const std::vector<std::pair<double, std::int32_t>>& raws) {
        for (const auto& [second, raw] : raws) {
            clock->set(at(second));
            registry.recordSample(name, raw);
        }
        bus.dispatchMain();
        for (const auto& update : view.updates)
            EXPECT_EQ(update.first, name);
        const std::vector<std::int32_t> values = view.values();
        view.updates.clear();
        return values;
    }

    PingStats minute(const cpp::String& name) const {
        return store.series(clock->now(), Duration::seconds(60), 1, name).stats.at(0);
    }

    std::shared_ptr<ManualClock> clock = [] {
        auto made = std::make_shared<ManualClock>();
        made->set(at(0));
        return made;
    }();
    cpp::Bus bus = cpp::Bus::create(0, "test");
    SampleStore store{clock, noDataDirectory};
    RecordingView view;
    // Never the system's ping: a program that cannot start.
    HostRegistry registry{store, clock, bus, {cpp::FilePath("/nonexistent/ping.exe"), Duration::seconds(3600)}};
};

TEST_F(HostRegistryTest, OneLossBetweenRepliesIsADropAndKeepsTheHostConnected) {
    registry.ensure("h");
    EXPECT_EQ(feed("h", {{1, 20}, {2, -1}, {3, 30}}), (std::vector<std::int32_t>{20, -1, 30}));
    const HostRecord record = registry.record("h");
    EXPECT_TRUE(record.connected);
    EXPECT_EQ(record.disconnects, 0);
    EXPECT_EQ(record.last, 30);
    EXPECT_EQ(minute("h"), withLast(statsRow(2, 25, 20, 30, 1, 0), 30));
}

TEST_F(HostRegistryTest, SecondLossDisconnectsUntilTheNextReply) {
    registry.ensure("h");
    EXPECT_EQ(feed("h", {{1, 20}, {2, -1}, {3, -1}}), (std::vector<std::int32_t>{20, -1, -2}));
    HostRecord record = registry.record("h");
    EXPECT_FALSE(record.connected);
    EXPECT_EQ(record.disconnectedSince, at(3));
    EXPECT_EQ(feed("h", {{4, -1}, {48, 15}}), (std::vector<std::int32_t>{-3, 15}));
    record = registry.record("h");
    EXPECT_TRUE(record.connected);
    EXPECT_EQ(record.connectedSince, at(48));
    EXPECT_EQ(record.disconnects, 1);
    // From the second loss to the reply.
    EXPECT_EQ(record.longestDisconnect, Duration::seconds(45));
    EXPECT_EQ(record.averageDisconnect, Duration::seconds(45));
    EXPECT_EQ(minute("h"), withLast(statsRow(2, 17, 15, 20, 1, 1), 15));
}

TEST_F(HostRegistryTest, FirstPingThatFailsCountsAsADisconnectButFinishesNone) {
    registry.enable("h");
    registry.disable("h");
    EXPECT_EQ(feed("h", {{1, -1}, {2, -1}, {5, 7}}), (std::vector<std::int32_t>{-2, -3, 7}));
    const HostRecord record = registry.record("h");
    EXPECT_TRUE(record.connected);
    EXPECT_EQ(record.disconnects, 0);
    EXPECT_EQ(record.longestDisconnect, Duration());
    EXPECT_EQ(minute("h").disconnects, 1);
}

TEST_F(HostRegistryTest, DisconnectionAverageInWholeSecondsLongestExact) {
    registry.ensure("h");
    feed("h", {{0, 1}, {1, -1}, {2, -1}, {32, 1}});
    feed("h", {{40, -1}, {41, -1}, {131.9, 1}});
    const HostRecord record = registry.record("h");
    EXPECT_EQ(record.disconnects, 2);
    EXPECT_EQ(record.averageDisconnect, Duration::seconds(60));
    EXPECT_EQ(record.longestDisconnect, Duration::milliseconds(90900));
}

TEST_F(HostRegistryTest, DisableKeepsTheSessionAndEnableResetsOnlyTheTimes) {
    registry.ensure("h");
    feed("h", {{0, 1}, {1, -1}, {2, -1}, {12, 1}, {13, -1}});
    registry.disable("h");
    HostRecord record = registry.record("h");
    EXPECT_FALSE(record.enabled());
    EXPECT_EQ(record.last, -1);
    EXPECT_EQ(record.disconnects, 1);
    clock->set(at(3600));
    // The runner fails to start its child and waits to retry.
    registry.enable("h");
    record = registry.record("h");
    EXPECT_TRUE(record.enabled());
    EXPECT_TRUE(record.connected);
    EXPECT_EQ(record.disconnects, 1);
    EXPECT_EQ(record.connectedSince, at(3600));
    EXPECT_EQ(record.disconnectedSince, record.connectedSince);
    registry.stopAll();
    EXPECT_FALSE(registry.record("h").enabled());
}

TEST_F(HostRegistryTest, QueriesCopyInByteOrder) {
    registry.ensure("b");
    registry.ensure("B");
    registry.ensure("a");
    registry.ensure("a");
    EXPECT_EQ(registry.names(), (std::vector<cpp::String>{"B", "a", "b"}));
    EXPECT_EQ(registry.recordAt(1).name, "a");
    EXPECT_FALSE(registry.recordAt(1).enabled());
    EXPECT_EQ(registry.recordAt(1).last, -1);
    EXPECT_THROW(registry.recordAt(3), cpp::Exception);
    EXPECT_THROW(registry.record("c"), cpp::Exception);
    registry.remove("a");
    registry.remove("c");
    EXPECT_FALSE(registry.contains("a"));
    EXPECT_TRUE(registry.contains("b"));
}

TEST_F(HostRegistryTest, TasksAfterTheViewIsDetachedDoNothing) {
    registry.ensure("h");
    registry.recordSample("h", 5);
    registry.setView(nullptr);
    bus.dispatchMain();
    EXPECT_TRUE(view.updates.empty());
}

} // namespace

namespace {

struct RecordingObserver : HostObserver {
    void hostChanged(const HostEvent& event) override {
        static constexpr const char* kinds[] = {"enabled", "disabled", "removed", "sample", "down", "up"};
        told.push_back(cpp::String("% % %", kinds[static_cast<int>(event.kind)], event.name, event.raw));
        times.push_back(event.time);
    }
    std::vector<cpp::String> told;
    std::vector<DateTime> times;
};

TEST_F(HostRegistryTest, ObserversAreToldOfEveryChangeInOrderWithTheDisconnectionAfterItsSample) {
    RecordingObserver observer;
    registry.addObserver(&observer);
    registry.enable("h");
    feed("h", {{1, 20}, {2, -1}, {3, -1}, {4, -1}, {9, 7}, {10, -1}});
    registry.remove("h");
    EXPECT_EQ(observer.told, (std::vector<cpp::String>{"enabled h 0", "sample h 20", "sample h -1", "sample h -1",
                                                        "down h 0", "sample h -1", "sample h 7", "up h 0",
                                                        "sample h -1", "disabled h 0", "removed h 0"}));
    EXPECT_EQ(observer.times.at(4), at(3));
    EXPECT_EQ(observer.times.at(7), at(9));
}

TEST_F(HostRegistryTest, RestartAllStartsEveryEnabledRunnerAgainAndLeavesTheRestAlone) {
    RecordingObserver observer;
    registry.addObserver(&observer);
    registry.enable("a");
    registry.enable("b");
    registry.ensure("c");
    // Straight in: the runners that cannot start their child post updates.
    clock->set(at(1));
    registry.recordSample("a", 20);
    registry.restartAll();
    EXPECT_EQ(observer.told, (std::vector<cpp::String>{"enabled a 0", "enabled b 0", "sample a 20", "disabled a 0",
                                                        "enabled a 0", "disabled b 0", "enabled b 0"}));
    EXPECT_TRUE(registry.record("a").enabled());
    EXPECT_TRUE(registry.record("b").enabled());
    EXPECT_FALSE(registry.record("c").enabled());
    // The session goes on: connected and last stay.
    EXPECT_TRUE(registry.record("a").connected);
    EXPECT_EQ(registry.record("a").last, 20);
    registry.stopAll();
}

} // namespace
