#include "app/outage_totals.h"

#include <algorithm>

using cpp::DateTime;
using cpp::Duration;

const std::vector<Duration> outagePeriods{Duration::hours(24), Duration::hours(24 * 7), Duration::hours(24 * 30)};

namespace {

// The time [start, end) and [from, to) share.
Duration overlap(const DateTime& start, const DateTime& end, const DateTime& from, const DateTime& to) {
    const DateTime first = std::max(start, from);
    const DateTime last = std::min(end, to);
    return first < last ? last - first : Duration();
}

bool sampled(const PingStats& stats) {
    return stats.count != 0 || stats.drops != 0 || stats.disconnects != 0;
}

} // namespace

Duration monitoredTime(const PingSeries& minutes, const std::vector<Incident>& incidents, const DateTime& from,
                       const DateTime& to) {
    const std::size_t count = minutes.stats.size();
    const std::uint64_t scale = minutes.scale.count();
    if (count == 0 || scale == 0)
        return Duration();
    std::vector<bool> covered(count, false);
    for (std::size_t k = 0; k < count; ++k)
        covered[k] = sampled(minutes.stats[k]);
    const std::uint64_t origin = minutes.start.sinceEpoch().count();
    for (const Incident& incident : incidents) {
        if (incident.scope != Incident::Scope::local)
            continue;
        const std::uint64_t start = incident.start.sinceEpoch().count();
        const std::uint64_t end = incident.end().sinceEpoch().count();
        if (end <= origin)
            continue;
        const std::uint64_t first = start > origin ? (start - origin) / scale : 0;
        const std::uint64_t last = std::min<std::uint64_t>((end - origin - 1) / scale + 1, count);
        for (std::uint64_t k = first; k < last; ++k)
            covered[static_cast<std::size_t>(k)] = true;
    }
    Duration total;
    for (std::size_t k = 0; k < count; ++k) {
        if (!covered[k])
            continue;
        const DateTime start = minutes.start + Duration(scale * k);
        total = total + overlap(start, start + minutes.scale, from, to);
    }
    return total;
}

OutageTotals outageTotals(const std::vector<Incident>& incidents, const DateTime& from, const DateTime& to,
                          const Duration& monitored) {
    OutageTotals totals;
    totals.monitored = monitored;
    for (const Incident& incident : incidents) {
        if (incident.scope != Incident::Scope::local)
            continue;
        const Duration inside = overlap(incident.start, incident.end(), from, to);
        if (inside == Duration() && !(incident.start >= from && incident.start < to))
            continue;
        totals.count += 1;
        totals.downtime = totals.downtime + inside;
        totals.longest = std::max(totals.longest, incident.length);
    }
    if (monitored > Duration()) {
        const double share = static_cast<double>(totals.downtime.count()) / static_cast<double>(monitored.count());
        totals.availability = std::clamp(1.0 - share, 0.0, 1.0);
    }
    return totals;
}
