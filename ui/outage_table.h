#pragma once

#include "app/outage_ledger.h"
#include "app/outage_totals.h"
#include "cpp/string.h"
#include "cpp/time.h"

#include <optional>
#include <vector>

namespace ui {

// The texts of the Outages window's two tables, one vector of cells a row.
using Cells = std::vector<cpp::String>;

extern const Cells incidentHeadings;
extern const Cells totalsHeadings;

// "0 s", "45 s", "3 min 05 s", "2 h 07 min", "3 d 4 h".
cpp::String lengthText(const cpp::Duration& length);
// "99.982 %", or "-" without monitored time.
cpp::String availabilityText(const std::optional<double>& availability);

// Start (local), length, scope and hosts: the incident in progress first,
// marked as such, then the finished ones newest first.
std::vector<Cells> incidentRows(const std::vector<Incident>& history, const std::optional<Incident>& current);
// Period, local outages, their downtime, the longest and the availability.
Cells totalsRow(const cpp::String& period, const OutageTotals& totals);
// "Last 24 hours", "Last 7 days", "Last 30 days" for the periods of outagePeriods.
cpp::String periodName(const cpp::Duration& period);

// The headings and rows as tab-separated lines with CR LF, for the clipboard;
// a tab or line break inside a cell becomes a blank.
cpp::String tabSeparated(const Cells& headings, const std::vector<Cells>& rows);

} // namespace ui
