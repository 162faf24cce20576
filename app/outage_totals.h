#pragma once

#include "app/outage_ledger.h"
#include "app/ping_stats.h"
#include "cpp/time.h"

#include <cstddef>
#include <optional>
#include <vector>

// What the user's own line did over a period: the local incidents that reach
// into it, their time within it, the longest of them, and its availability,
// local downtime against monitored time. Wake and remote incidents are left
// out, and so is time without samples (sleep, the program not running).
struct OutageTotals {
    std::size_t count = 0;
    cpp::Duration downtime;
    // The whole length of the longest, also outside the period.
    cpp::Duration longest;
    cpp::Duration monitored;
    // From 0 to 1; none without monitored time.
    std::optional<double> availability;
};

// The periods of the Outages window, each ending now: a day, a week and 30 days.
extern const std::vector<cpp::Duration> outagePeriods;

// Monitored time over [from, to): the minutes of the all-hosts series
// (minute buckets) that got any sample, and those a local incident covers,
// as a minute of losses after a disconnection counts no sample.
cpp::Duration monitoredTime(const PingSeries& minutes, const std::vector<Incident>& incidents,
                            const cpp::DateTime& from, const cpp::DateTime& to);

OutageTotals outageTotals(const std::vector<Incident>& incidents, const cpp::DateTime& from, const cpp::DateTime& to,
                          const cpp::Duration& monitored);
