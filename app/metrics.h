#pragma once

#include "app/host_events.h"
#include "app/settings.h"
#include "cpp/http_server.h"
#include "cpp/string.h"
#include "cpp/time.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class HostRegistry;
class OutageLedger;

// The figures a Prometheus scrape reads: per host the replies, failures,
// disconnections and reply times since the program started, counted from
// the registry's events, and whether it is enabled and connected, read from
// the registry as the window shows it.
class MetricsCollector : public HostObserver {
public:
    // Upper bounds of the reply-time buckets in ms, the host list's colour
    // thresholds; one more bucket holds what is slower.
    static constexpr std::array<std::int32_t, 6> bucketBounds{1, 25, 50, 100, 250, 1000};

    // What the events told of one host since the start.
    struct Counts {
        std::uint64_t replies = 0;
        std::uint64_t failures = 0;
        std::uint64_t disconnects = 0;
        // Replies per bucket, not cumulative; the last is over 1 s.
        std::array<std::uint64_t, bucketBounds.size() + 1> buckets{};
        std::uint64_t replyMilliseconds = 0;
        // The last reply's time; none before the first.
        std::optional<std::int32_t> lastReply;
    };

    struct Host {
        cpp::String name;
        bool enabled = false;
        bool connected = false;
        Counts counts;
    };

    // started is the program's start, for process_start_time_seconds; the
    // ledger, if any, gives the outages since then by scope.
    MetricsCollector(const HostRegistry& registry, cpp::DateTime started, const OutageLedger* outages = nullptr);

    void hostChanged(const HostEvent& event) override;

    // Every registered host in the registry's order. The registry's lock and
    // then the collector's are held only to copy.
    std::vector<Host> snapshot() const;
    // The page in the text exposition format, written outside the locks.
    cpp::String page() const;

private:
    const HostRegistry& registry_;
    const cpp::DateTime started_;
    const OutageLedger* const outages_;
    mutable std::mutex mutex_;
    std::map<cpp::String, Counts> counts_;
};

// The collector's page at /metrics on its own server thread. Throws
// cpp::IOException when it cannot listen there.
std::unique_ptr<cpp::HttpServer> serveMetrics(const MetricsCollector& collector, const settings::Endpoint& endpoint,
                                              cpp::HttpServer::Options options = {});
