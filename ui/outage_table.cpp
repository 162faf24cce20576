#include "ui/outage_table.h"

#include <cstdio>

using cpp::Duration;
using cpp::String;

namespace ui {

const Cells incidentHeadings{"Start", "Length", "Scope", "Hosts"};
const Cells totalsHeadings{"Period", "Local outages", "Downtime", "Longest", "Availability"};

namespace {

String twoDigits(std::uint64_t value) {
    return String::fromUnsigned(value, 2, 0, true);
}

String hostsText(const std::vector<String>& hosts) {
    String text;
    for (const String& host : hosts) {
        if (!text.empty())
            text += ", ";
        text += host;
    }
    return text;
}

} // namespace

String lengthText(const Duration& length) {
    const std::uint64_t seconds = length.isInfinite() ? 0 : length.count() / 1000000u;
    if (seconds < 60)
        return String("% s", seconds);
    if (seconds < 3600)
        return String("% min % s", seconds / 60, twoDigits(seconds % 60));
    if (seconds < 86400)
        return String("% h % min", seconds / 3600, twoDigits(seconds / 60 % 60));
    return String("% d % h", seconds / 86400, seconds / 3600 % 24);
}

String availabilityText(const std::optional<double>& availability) {
    if (!availability)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f %%", *availability * 100.0);
    return String(text);
}

std::vector<Cells> incidentRows(const std::vector<Incident>& history, const std::optional<Incident>& current) {
    std::vector<Cells> rows;
    rows.reserve(history.size() + 1);
    const auto row = [](const Incident& incident, const String& length) {
        return Cells{cpp::Date(incident.start).format("%F %X"), length, scopeName(incident.scope),
                     hostsText(incident.hosts)};
    };
    if (current)
        rows.push_back(row(*current, String("% so far", lengthText(current->length))));
    for (auto incident = history.rbegin(); incident != history.rend(); ++incident)
        rows.push_back(row(*incident, lengthText(incident->length)));
    return rows;
}

Cells totalsRow(const String& period, const OutageTotals& totals) {
    return Cells{period, String(totals.count), lengthText(totals.downtime), lengthText(totals.longest),
                 availabilityText(totals.availability)};
}

String periodName(const Duration& period) {
    const std::uint64_t days = period.count() / Duration::hours(24).count();
    return days <= 1 ? String("Last 24 hours") : String("Last % days", days);
}

String tabSeparated(const Cells& headings, const std::vector<Cells>& rows) {
    String text;
    const auto line = [&text](const Cells& cells) {
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i > 0)
                text += '\t';
            for (const char c : cells[i])
                text += c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
        }
        text += "\r\n";
    };
    line(headings);
    for (const Cells& cells : rows)
        line(cells);
    return text;
}

} // namespace ui
