#include "app/metrics.h"

#include "app/host_registry.h"
#include "app/manual_clock.h"
#include "app/no_data_directory.h"
#include "app/outage_ledger.h"
#include "app/sample_store.h"
#include "cpp/thread.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using Series = std::map<std::string, std::string>;

// The page's samples by series ("name{labels}"); every family must have its
// HELP and TYPE lines before its first sample.
Series parse(const cpp::String& page) {
    Series series;
    std::string family;
    std::size_t at = 0;
    while (at < page.size()) {
        const std::size_t end = page.find('\n', at);
        const std::string line = page.substr(at, end - at);
        at = end + 1;
        if (line.rfind("# HELP ", 0) == 0) {
            family = line.substr(7, line.find(' ', 7) - 7);
            continue;
        }
        if (line.rfind("# TYPE ", 0) == 0) {
            EXPECT_EQ(line.substr(7, family.size() + 1), family + " ") << line;
            continue;
        }
        EXPECT_EQ(line.rfind(family, 0), 0u) << "a sample outside its family: " << line;
        const std::size_t space = line.rfind(' ');
        EXPECT_TRUE(series.emplace(line.substr(0, space), line.substr(space + 1)).second) << "twice: " << line;
    }
    return series;
}

// The series of one host, without the host label.
Series ofHost(const Series& all, const std::string& host) {
    Series series;
    const std::string label = "host=\"" + host + "\"";
    for (const auto& [name, value] : all) {
        const std::size_t found = name.find(label);
        if (found == std::string::npos)
            continue;
        std::string shortName = name;
        shortName.erase(found, label.size() + (name[found + label.size()] == ',' ? 1 : 0));
        if (shortName.size() >= 2 && shortName.substr(shortName.size() - 2) == "{}")
            shortName.resize(shortName.size() - 2);
        series[shortName] = value;
    }
    return series;
}

class MetricsTest : public ::testing::Test {
protected:
    MetricsTest() { registry.addObserver(&collector); }
    ~MetricsTest() override { registry.stopAll(); }

    void feed(const cpp::String& name, const std::vector<std::int32_t>& raws) {
        for (const std::int32_t raw : raws)
            registry.recordSample(name, raw);
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    cpp::Bus bus = cpp::Bus::create(0, "test");
    SampleStore store{clock, noDataDirectory};
    // Never the system's ping: a program that cannot start.
    HostRegistry registry{store, clock, bus, {cpp::FilePath("/nonexistent/ping.exe"), cpp::Duration::seconds(3600)}};
    MetricsCollector collector{registry, fromOrigin(0)};
};

TEST_F(MetricsTest, EachHostHasItsCountsSinceTheStartAndItsStateAsTheRegistrySeesIt) {
    registry.ensure("idle");
    registry.enable("h");
    // A reply, a disconnection, four replies across the buckets' bounds.
    feed("h", {20, -1, -1, 7, 1500, 0, 25});
    const Series all = parse(collector.page());
    EXPECT_EQ(ofHost(all, "h"), (Series{
                                    {"tarnlet_ping_replies_total", "5"},
                                    {"tarnlet_ping_failures_total", "2"},
                                    {"tarnlet_disconnects_total", "1"},
                                    {"tarnlet_host_up", "1"},
                                    {"tarnlet_host_enabled", "1"},
                                    {"tarnlet_ping_rtt_seconds_bucket{le=\"0.001\"}", "1"},
                                    {"tarnlet_ping_rtt_seconds_bucket{le=\"0.025\"}", "4"},
                                    {"tarnlet_ping_rtt_seconds_bucket{le=\"0.05\"}", "4"},
                                    {"tarnlet_ping_rtt_seconds_bucket{le=\"0.1\"}", "4"},
                                    {"tarnlet_ping_rtt_seconds_bucket{le=\"0.25\"}", "4"},
                                    {"tarnlet_ping_rtt_seconds_bucket{le=\"1\"}", "4"},
                                    {"tarnlet_ping_rtt_seconds_bucket{le=\"+Inf\"}", "5"},
                                    {"tarnlet_ping_rtt_seconds_sum", "1.552"},
                                    {"tarnlet_ping_rtt_seconds_count", "5"},
                                    {"tarnlet_last_rtt_seconds", "0.025"},
                                }));
    // Configured but never pinged: zeros, and no up or last reply.
    const Series idle = ofHost(all, "idle");
    EXPECT_EQ(idle.count("tarnlet_host_up") + idle.count("tarnlet_last_rtt_seconds"), 0u);
    EXPECT_EQ(idle.at("tarnlet_host_enabled"), "0");
    EXPECT_EQ(idle.at("tarnlet_ping_rtt_seconds_bucket{le=\"+Inf\"}"), "0");
    EXPECT_EQ(idle.at("tarnlet_ping_rtt_seconds_sum"), "0.000");
    EXPECT_EQ(all.at("tarnlet_build_info{version=\"" TARNLET_VERSION "\"}"), "1");
    EXPECT_EQ(all.at("process_start_time_seconds"), "1699920000.000");

    // A disabled host keeps its counts but has no up; a disconnected one is down.
    feed("h", {-1, -1});
    EXPECT_EQ(ofHost(parse(collector.page()), "h").at("tarnlet_host_up"), "0");
    registry.disable("h");
    const Series disabled = ofHost(parse(collector.page()), "h");
    EXPECT_EQ(disabled.count("tarnlet_host_up"), 0u);
    EXPECT_EQ(disabled.at("tarnlet_disconnects_total"), "2");
}

TEST_F(MetricsTest, CountersAndBucketsNeverGoBackAndBucketsAreCumulative) {
    std::mt19937 random(19);
    std::uniform_int_distribution<std::int32_t> raw(-400, 1600);
    registry.enable("a");
    registry.ensure("b");
    Series before;
    for (int step = 0; step < 200; ++step) {
        feed(step % 3 == 0 ? "b" : "a", {raw(random), raw(random)});
        if (step % 50 == 10)
            registry.disable("a");
        if (step % 50 == 20)
            registry.enable("a");
        const Series now = parse(collector.page());
        for (const auto& [name, value] : now) {
            if (name.rfind("tarnlet_host_", 0) == 0 || name.rfind("tarnlet_last_", 0) == 0)
                continue;
            if (before.count(name) != 0) {
                EXPECT_GE(std::stod(value), std::stod(before.at(name))) << name << " at step " << step;
            }
        }
        for (const char* host : {"a", "b"}) {
            const Series one = ofHost(now, host);
            double last = 0;
            for (const char* le : {"0.001", "0.025", "0.05", "0.1", "0.25", "1", "+Inf"}) {
                const double count = std::stod(one.at(std::string("tarnlet_ping_rtt_seconds_bucket{le=\"") + le + "\"}"));
                EXPECT_GE(count, last) << host << " le " << le;
                last = count;
            }
            EXPECT_EQ(one.at("tarnlet_ping_rtt_seconds_count"), one.at("tarnlet_ping_rtt_seconds_bucket{le=\"+Inf\"}"));
            EXPECT_EQ(one.at("tarnlet_ping_rtt_seconds_count"), one.at("tarnlet_ping_replies_total"));
        }
        before = now;
    }
    // A host removed and added again starts from zero, as after a restart.
    registry.remove("a");
    EXPECT_TRUE(ofHost(parse(collector.page()), "a").empty());
    registry.ensure("a");
    EXPECT_EQ(ofHost(parse(collector.page()), "a").at("tarnlet_ping_replies_total"), "0");
}

TEST_F(MetricsTest, PagesWrittenWhileSamplesArriveSeeEverySampleOnceAndInOrder) {
    registry.enable("h");
    constexpr int samples = 3000;
    cpp::Thread runner([this] {
        for (int i = 0; i < samples; ++i)
            registry.recordSample("h", i % 10 == 9 ? -1 : i % 300);
    });
    double seen = 0;
    const cpp::Stopwatch watch;
    while (seen < samples && watch.elapsed() < cpp::Duration::seconds(30)) {
        const Series host = ofHost(parse(collector.page()), "h");
        const double now = std::stod(host.at("tarnlet_ping_replies_total")) +
                           std::stod(host.at("tarnlet_ping_failures_total"));
        ASSERT_GE(now, seen);
        seen = now;
    }
    runner.join();
    EXPECT_EQ(seen, samples);
}

TEST_F(MetricsTest, OutagesCountByScopeOnceTheyEnd) {
    OutageLedger ledger(clock);
    registry.addObserver(&ledger);
    const MetricsCollector withOutages{registry, fromOrigin(0), &ledger};
    const auto outages = [&withOutages] {
        const Series all = parse(withOutages.page());
        return std::vector<std::string>{all.at("tarnlet_outages_total{scope=\"local\"}"),
                                        all.at("tarnlet_outage_seconds_total{scope=\"local\"}"),
                                        all.at("tarnlet_outages_total{scope=\"remote\"}"),
                                        all.at("tarnlet_outages_total{scope=\"wake\"}")};
    };
    registry.enable("a");
    registry.enable("b");
    feed("a", {5});
    feed("b", {5});
    EXPECT_EQ(outages(), (std::vector<std::string>{"0", "0", "0", "0"}));
    // Both down at once: a local outage, counted when the last one answers.
    feed("a", {-1, -1});
    feed("b", {-1, -1});
    clock->pass(cpp::Duration::seconds(42));
    EXPECT_EQ(outages(), (std::vector<std::string>{"0", "0", "0", "0"}));
    feed("a", {5});
    feed("b", {5});
    EXPECT_EQ(outages(), (std::vector<std::string>{"1", "42", "0", "0"}));
    registry.stopAll();
}

TEST_F(MetricsTest, AHostNameIsEscapedInItsLabel) {
    registry.ensure("a\"b\\c\nd");
    const Series all = parse(collector.page());
    EXPECT_EQ(all.at("tarnlet_host_enabled{host=\"a\\\"b\\\\c\\nd\"}"), "0");
}

} // namespace
