#include "app/metrics.h"

#include "app/exposition.h"
#include "app/host_registry.h"
#include "app/outage_ledger.h"
#include "cpp/exception.h"

#include <cstddef>

namespace {

// The buckets' "le" labels, written as Prometheus's own clients write them.
constexpr std::array<const char*, MetricsCollector::bucketBounds.size() + 1> bucketLabels{
    "0.001", "0.025", "0.05", "0.1", "0.25", "1", "+Inf"};

std::size_t bucketOf(std::int32_t milliseconds) {
    std::size_t bucket = 0;
    while (bucket < MetricsCollector::bucketBounds.size() && milliseconds > MetricsCollector::bucketBounds[bucket])
        ++bucket;
    return bucket;
}

void writeCounter(exposition::Writer& out, const std::vector<MetricsCollector::Host>& hosts, const char* name,
                  const char* help, std::uint64_t MetricsCollector::Counts::*count) {
    out.family(name, "counter", help);
    for (const MetricsCollector::Host& host : hosts)
        out.sample(name, {{"host", host.name}}, exposition::integer(host.counts.*count));
}

void writeHistogram(exposition::Writer& out, const std::vector<MetricsCollector::Host>& hosts) {
    out.family("tarnlet_ping_rtt_seconds", "histogram", "Reply times of the host's pings since the program started.");
    for (const MetricsCollector::Host& host : hosts) {
        std::uint64_t cumulative = 0;
        for (std::size_t bucket = 0; bucket < host.counts.buckets.size(); ++bucket) {
            cumulative += host.counts.buckets[bucket];
            out.sample("tarnlet_ping_rtt_seconds_bucket", {{"host", host.name}, {"le", bucketLabels[bucket]}},
                       exposition::integer(cumulative));
        }
        out.sample("tarnlet_ping_rtt_seconds_sum", {{"host", host.name}},
                   exposition::seconds(host.counts.replyMilliseconds));
        out.sample("tarnlet_ping_rtt_seconds_count", {{"host", host.name}}, exposition::integer(cumulative));
    }
}

// Finished incidents only: the one going on counts when it ends, so that
// neither counter ever goes back.
void writeOutages(exposition::Writer& out, const std::array<OutageLedger::Tally, Incident::scopeCount>& totals) {
    const auto scope = [](std::size_t index) { return scopeName(static_cast<Incident::Scope>(index)); };
    out.family("tarnlet_outages_total", "counter", "Outages that ended since the program started, by scope.");
    for (std::size_t index = 0; index < totals.size(); ++index)
        out.sample("tarnlet_outages_total", {{"scope", scope(index)}}, exposition::integer(totals[index].count));
    out.family("tarnlet_outage_seconds_total", "counter",
               "Length of the outages that ended since the program started, by scope.");
    for (std::size_t index = 0; index < totals.size(); ++index)
        out.sample("tarnlet_outage_seconds_total", {{"scope", scope(index)}},
                   exposition::integer(totals[index].seconds));
}

} // namespace

MetricsCollector::MetricsCollector(const HostRegistry& registry, cpp::DateTime started, const OutageLedger* outages)
    : registry_(registry), started_(started), outages_(outages) {}

void MetricsCollector::hostChanged(const HostEvent& event) {
    const std::lock_guard lock(mutex_);
    switch (event.kind) {
    case HostEvent::Kind::sample: {
        Counts& counts = counts_[event.name];
        if (event.raw < 0) {
            counts.failures += 1;
            break;
        }
        counts.replies += 1;
        counts.buckets[bucketOf(event.raw)] += 1;
        counts.replyMilliseconds += static_cast<std::uint64_t>(event.raw);
        counts.lastReply = event.raw;
        break;
    }
    case HostEvent::Kind::disconnected:
        counts_[event.name].disconnects += 1;
        break;
    case HostEvent::Kind::removed:
        // A host added again under the name starts from zero, as a counter
        // after a restart does.
        counts_.erase(event.name);
        break;
    case HostEvent::Kind::enabled:
    case HostEvent::Kind::disabled:
    case HostEvent::Kind::reconnected:
        break;
    }
}

std::vector<MetricsCollector::Host> MetricsCollector::snapshot() const {
    std::vector<Host> hosts;
    for (const cpp::String& name : registry_.names()) {
        try {
            const HostRecord record = registry_.record(name);
            Host host;
            host.name = name;
            host.enabled = record.enabled();
            host.connected = record.connected;
            hosts.push_back(std::move(host));
        } catch (const cpp::Exception&) {
            // Removed since the names were read.
        }
    }
    // Not under the registry's lock: observers take this one under it.
    const std::lock_guard lock(mutex_);
    for (Host& host : hosts) {
        const auto found = counts_.find(host.name);
        if (found != counts_.end())
            host.counts = found->second;
    }
    return hosts;
}

cpp::String MetricsCollector::page() const {
    const std::vector<Host> hosts = snapshot();
    exposition::Writer out;
    writeCounter(out, hosts, "tarnlet_ping_replies_total", "Ping replies since the program started.",
                 &Counts::replies);
    writeCounter(out, hosts, "tarnlet_ping_failures_total",
                 "Pings that got no reply (timed out or failed) since the program started.", &Counts::failures);
    writeCounter(out, hosts, "tarnlet_disconnects_total",
                 "Disconnections (a second lost ping in a row of a connected host) since the program started.",
                 &Counts::disconnects);
    out.family("tarnlet_host_up", "gauge", "1 while the host is connected, 0 while not; absent while it is disabled.");
    for (const Host& host : hosts) {
        if (host.enabled)
            out.sample("tarnlet_host_up", {{"host", host.name}}, host.connected ? "1" : "0");
    }
    out.family("tarnlet_host_enabled", "gauge", "1 while the host is pinged, 0 while it is disabled.");
    for (const Host& host : hosts)
        out.sample("tarnlet_host_enabled", {{"host", host.name}}, host.enabled ? "1" : "0");
    writeHistogram(out, hosts);
    out.family("tarnlet_last_rtt_seconds", "gauge", "The host's last reply time; absent before its first reply.");
    for (const Host& host : hosts) {
        if (host.counts.lastReply)
            out.sample("tarnlet_last_rtt_seconds", {{"host", host.name}},
                       exposition::seconds(static_cast<std::uint64_t>(*host.counts.lastReply)));
    }
    if (outages_)
        writeOutages(out, outages_->sessionTotals());
    out.family("tarnlet_build_info", "gauge", "Always 1; the version label names the running release.");
    out.sample("tarnlet_build_info", {{"version", TARNLET_VERSION}}, "1");
    out.family("process_start_time_seconds", "gauge", "Start time of the process since the Unix epoch in seconds.");
    out.sample("process_start_time_seconds", {}, exposition::seconds(started_.sinceEpoch().count() / 1000));
    return out.text();
}

std::unique_ptr<cpp::HttpServer> serveMetrics(const MetricsCollector& collector, const settings::Endpoint& endpoint,
                                              cpp::HttpServer::Options options) {
    return std::make_unique<cpp::HttpServer>(
        endpoint.address, endpoint.port,
        [&collector](cpp::TextSpan path) -> std::optional<cpp::HttpServer::Page> {
            if (path.view() != "/metrics")
                return std::nullopt;
            return cpp::HttpServer::Page{exposition::contentType, collector.page()};
        },
        options);
}
