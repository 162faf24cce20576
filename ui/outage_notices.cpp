#include "ui/outage_notices.h"

#include <algorithm>

namespace ui {

namespace {

cpp::String clockTime(const cpp::DateTime& time) {
    return cpp::Date(time).format("%H:%M:%S");
}

// Whole seconds, the two largest units: "1 h 5 min", "2 min 10 s", "48 s".
cpp::String lengthText(const cpp::Duration& length) {
    const std::uint64_t seconds = length.count() / 1000000u;
    const std::uint64_t units[] = {seconds / 86400, seconds / 3600 % 24, seconds / 60 % 60, seconds % 60};
    const char* const names[] = {"d", "h", "min", "s"};
    std::size_t first = 0;
    while (first < 3 && units[first] == 0)
        ++first;
    cpp::String text = cpp::String("% %", units[first], names[first]);
    if (first < 3 && units[first + 1] != 0)
        text += cpp::String(" % %", units[first + 1], names[first + 1]);
    return text;
}

} // namespace

void OutageNotices::hostChanged(const HostEvent& event) {
    const std::lock_guard lock(mutex_);
    switch (event.kind) {
    case HostEvent::Kind::enabled:
        hosts_[event.name] = Host();
        hosts_[event.name].enabled = true;
        break;
    case HostEvent::Kind::disabled:
    case HostEvent::Kind::removed:
        forget(event.name);
        break;
    case HostEvent::Kind::sample:
        sample(hosts_[event.name], event);
        break;
    case HostEvent::Kind::disconnected:
    case HostEvent::Kind::reconnected:
        // Samples tell the same, and also of a host that never answered.
        break;
    }
}

void OutageNotices::sample(Host& host, const HostEvent& event) {
    if (event.raw < 0) {
        if (++host.losses == 2) {
            host.downSince = event.time;
            host.dueAt = event.time + downDelay;
        }
        return;
    }
    host.losses = 0;
    if (!host.downSince)
        return;
    const cpp::Duration length = event.time - *host.downSince;
    if (host.covered && connectionDownSince_) {
        pending_.push_back({Change::connectionUp, {}, {}, event.time - *connectionDownSince_});
        connectionDownSince_.reset();
        // Hosts still down after the connection is back are remote outages
        // of their own, told if they last.
        for (auto& [name, other] : hosts_) {
            if (other.covered) {
                other.covered = false;
                other.dueAt = event.time + downDelay;
            }
        }
    } else if (host.told) {
        pending_.push_back({Change::hostUp, event.name, {}, length});
    }
    host.downSince.reset();
    host.told = false;
    host.covered = false;
}

void OutageNotices::forget(const cpp::String& name) {
    hosts_.erase(name);
    if (connectionDownSince_ &&
        std::none_of(hosts_.begin(), hosts_.end(), [](const auto& entry) { return entry.second.covered; }))
        connectionDownSince_.reset();
}

bool OutageNotices::everyEnabledHostDown() const {
    std::size_t enabled = 0;
    for (const auto& [name, host] : hosts_) {
        if (!host.enabled)
            continue;
        if (!host.downSince)
            return false;
        ++enabled;
    }
    // With one host there is no telling the line from the host.
    return enabled >= 2;
}

bool OutageNotices::untold(const Host& host) {
    return host.enabled && host.downSince && !host.told && !host.covered;
}

void OutageNotices::findDue(const cpp::DateTime& now) {
    const auto due = [&now](const Host& host) { return untold(host) && host.dueAt <= now; };
    if (!std::any_of(hosts_.begin(), hosts_.end(), [&due](const auto& entry) { return due(entry.second); }))
        return;
    if (!connectionDownSince_ && everyEnabledHostDown()) {
        cpp::DateTime since{cpp::Duration()};
        for (auto& [name, host] : hosts_) {
            if (host.enabled) {
                since = std::max(since, *host.downSince);
                host.covered = true;
            }
        }
        connectionDownSince_ = since;
        pending_.push_back({Change::connectionDown, {}, since, {}});
        return;
    }
    for (auto& [name, host] : hosts_) {
        if (due(host)) {
            host.told = true;
            pending_.push_back({Change::hostDown, name, *host.downSince, {}});
        }
    }
}

std::optional<Notice> OutageNotices::poll(const cpp::DateTime& now) {
    const std::lock_guard lock(mutex_);
    findDue(now);
    if (pending_.empty() || (lastShown_ && now - *lastShown_ < interval))
        return std::nullopt;
    const Notice notice = compose();
    pending_.clear();
    lastShown_ = now;
    return notice;
}

bool OutageNotices::waiting() {
    const std::lock_guard lock(mutex_);
    return !pending_.empty() ||
           std::any_of(hosts_.begin(), hosts_.end(), [](const auto& entry) { return untold(entry.second); });
}

Notice OutageNotices::compose() const {
    const auto line = [](const Pending& item) {
        switch (item.change) {
        case Change::hostDown:
            return cpp::String("% is not answering since %", item.name, clockTime(item.since));
        case Change::hostUp:
            return cpp::String("% answers again after %", item.name, lengthText(item.length));
        case Change::connectionDown:
            return cpp::String("The connection is down since %", clockTime(item.since));
        case Change::connectionUp:
            return cpp::String("The connection is back after %", lengthText(item.length));
        }
        return cpp::String();
    };
    if (pending_.size() == 1) {
        const Pending& item = pending_.front();
        switch (item.change) {
        case Change::hostDown:
            return {cpp::String("% is not answering", item.name),
                    cpp::String("No reply since %.", clockTime(item.since))};
        case Change::hostUp:
            return {cpp::String("% answers again", item.name),
                    cpp::String("It did not answer for %.", lengthText(item.length))};
        case Change::connectionDown:
            return {"The connection is down", cpp::String("No host has answered since %.", clockTime(item.since))};
        case Change::connectionUp:
            return {"The connection is back", cpp::String("It was down for %.", lengthText(item.length))};
        }
    }
    std::size_t down = 0, up = 0;
    for (const Pending& item : pending_) {
        if (item.change == Change::hostDown || item.change == Change::connectionDown)
            ++down;
        else
            ++up;
    }
    Notice notice{cpp::String("% outage%, % back", down, down == 1 ? "" : "s", up), {}};
    for (std::size_t i = 0; i < pending_.size() && i < listedChanges; ++i) {
        if (i)
            notice.text += "\n";
        notice.text += line(pending_[i]);
    }
    if (pending_.size() > listedChanges)
        notice.text += cpp::String("\nand % more", pending_.size() - listedChanges);
    return notice;
}

} // namespace ui
