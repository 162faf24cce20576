// The registry, the store, ping runners on scripted children and data-file
// loaders on the bus's workers, all at once while the window thread queries:
// for the thread sanitizer, and for rows and samples that must all arrive.

#include "app/data_file.h"
#include "app/host_registry.h"
#include "app/recording_view.h"
#include "app/sample_store.h"
#include "cpp/bus.h"
#include "cpp/process_fixture.h"
#include "cpp/temp_folder.h"
#include "cpp/thread.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using cpp::DateTime;
using cpp::Duration;
using cpp::String;

namespace {

class LoadingWhilePingingTest : public cpp::TempFolderTest {
protected:
    void TearDown() override {
        registry.reset();
        bus.resize(0);
        store.reset();
        TempFolderTest::TearDown();
    }

    // Runs the window thread's tasks and queries until the condition holds;
    // false after a generous bound.
    bool eventually(const std::function<bool()>& condition) {
        const cpp::Stopwatch watch;
        while (watch.elapsed() < Duration::seconds(30)) {
            bus.dispatchMain();
            for (std::size_t i = 0; i < registry->names().size(); ++i)
                (void)registry->recordAt(i);
            for (const String& host : hosts) {
                for (const Duration& scale : ScaleBuckets::scales())
                    (void)store->series(DateTime(), scale, 120, host);
            }
            (void)store->series(DateTime(), Duration::seconds(1), 120);
            if (condition())
                return true;
            cpp::Thread::sleep(Duration::milliseconds(5));
        }
        return false;
    }

    const std::vector<String> hosts{"load-a", "load-b", "load-c", "load-d"};
    cpp::Bus bus = cpp::Bus::create(2, "workers");
    std::unique_ptr<SampleStore> store = std::make_unique<SampleStore>(systemClock(), [this] { return folder_; });
    std::unique_ptr<HostRegistry> registry = std::make_unique<HostRegistry>(
        *store, systemClock(), bus, PingRunner::Options{cpp::test::scriptedPing(), Duration::milliseconds(50)});
    RecordingView view;
};

TEST_F(LoadingWhilePingingTest, EveryRowAndSampleArrives) {
    // Three days of minutes before today for each host, each minute 10 replies.
    constexpr std::int64_t days = 3;
    const DateTime today = systemClock()->midnight(DateTime());
    for (const String& host : hosts) {
        std::string rows;
        for (std::int64_t minute = 0; minute < days * 1440; ++minute) {
            const DateTime start = today - Duration::minutes(static_cast<std::uint64_t>(days * 1440 - minute));
            rows += formatDataRow(start, PingStats{10, 20, 30, 10, 0, 1, 0});
        }
        writeFile(store->dataFile(host), rows);
        cpp::test::writeScript(host, "1 Reply from 127.0.0.1: bytes=32 time=4ms TTL=128\n"
                                     "1 Request timed out.\n"
                                     "1 Reply from 127.0.0.1: bytes=32 time=6ms TTL=128\n"
                                     "repeat\n");
    }
    registry->setView(&view);
    for (const String& host : hosts) {
        registry->enable(host);
        store->loadHost(host, bus);
    }
    const auto loaded = [&] {
        std::int64_t replies = 0;
        for (const PingStats& day : store->series(today - Duration::seconds(1), Duration::hours(24), days).stats)
            replies += day.count;
        return replies;
    };
    const std::int64_t expected = static_cast<std::int64_t>(hosts.size()) * days * 1440 * 10;
    ASSERT_TRUE(eventually([&] {
        return loaded() == expected && store->series(DateTime(), Duration::hours(24), 1).stats.at(0).count >= 200;
    })) << loaded() << " of " << expected;
    // Commands of the window while the runners go on.
    store->exportHost("load-a", at("export.txt"));
    registry->disable("load-b");
    registry->enable("load-b");
    registry->remove("load-c");
    registry->stopAll();
    bus.dispatchMain();
    for (const String& host : registry->names())
        EXPECT_FALSE(registry->record(host).enabled()) << host;
    EXPECT_EQ(store->earliest(), today - Duration::minutes(days * 1440));
    for (const String& host : hosts) {
        const PingStats first = store->series(today - Duration::minutes(days * 1440), Duration::minutes(1), 1, host).stats.at(0);
        EXPECT_EQ(first, (PingStats{10, 20, 30, 10, 0, 1, 0})) << host;
    }
    EXPECT_FALSE(view.updates.empty());
}

} // namespace
