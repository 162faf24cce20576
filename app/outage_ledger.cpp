#include "app/outage_ledger.h"

#include <algorithm>
#include <iterator>
#include <string_view>

using cpp::DateTime;
using cpp::String;

const cpp::Duration OutageLedger::wakeWindow = cpp::Duration::seconds(60);

namespace {

constexpr std::array<const char*, Incident::scopeCount> scopeNames{"local", "remote", "wake"};
constexpr std::array<const char*, 5> endingNames{"", "reply", "suspend", "exit", "disabled"};

template <typename Enum, std::size_t N>
std::optional<Enum> byName(const std::array<const char*, N>& names, cpp::TextSpan name) {
    for (std::size_t i = 0; i < N; ++i) {
        if (name.view() == std::string_view(names[i]))
            return static_cast<Enum>(i);
    }
    return std::nullopt;
}

} // namespace

const char* scopeName(Incident::Scope scope) {
    return scopeNames[static_cast<std::size_t>(scope)];
}

const char* endingName(Incident::Ending ending) {
    return endingNames[static_cast<std::size_t>(ending)];
}

std::optional<Incident::Scope> scopeByName(cpp::TextSpan name) {
    return byName<Incident::Scope>(scopeNames, name);
}

std::optional<Incident::Ending> endingByName(cpp::TextSpan name) {
    // An incident read back has always ended.
    const auto ending = byName<Incident::Ending>(endingNames, name);
    return ending == Incident::Ending::none ? std::nullopt : ending;
}

OutageLedger::OutageLedger(std::shared_ptr<Clock> clock, Finished finished)
    : clock_(std::move(clock)), finished_(std::move(finished)) {}

void OutageLedger::restore(std::vector<Incident> earlier) {
    const std::lock_guard lock(mutex_);
    history_.insert(history_.begin(), std::make_move_iterator(earlier.begin()),
                    std::make_move_iterator(earlier.end()));
    ++version_;
}

void OutageLedger::hostChanged(const HostEvent& event) {
    bool finished = false;
    {
        const std::lock_guard lock(mutex_);
        if (closed_)
            return;
        HostState& host = hosts_[event.name];
        switch (event.kind) {
        case HostEvent::Kind::enabled:
            host.enabled = true;
            break;
        case HostEvent::Kind::disabled:
        case HostEvent::Kind::removed:
            host.enabled = false;
            if (host.down) {
                endSpan(host, Incident::Ending::disabled);
                host.stale = true;
                finished = !open_;
            }
            // The hosts left may now all be down.
            checkLocal();
            if (event.kind == HostEvent::Kind::removed)
                hosts_.erase(event.name);
            break;
        case HostEvent::Kind::sample:
            if (event.raw >= 0) {
                host.answered = true;
                host.stale = false;
                if (host.down) {
                    endSpan(host, Incident::Ending::reply);
                    finished = !open_;
                }
            } else if (host.stale && host.enabled && !suspended_) {
                // The registry tells no second disconnection.
                startSpan(event.name, host, event.time);
            }
            break;
        case HostEvent::Kind::disconnected:
            if (suspended_)
                host.stale = true;
            else if (host.enabled && !host.down)
                startSpan(event.name, host, event.time);
            break;
        case HostEvent::Kind::reconnected:
            // The reply before it has ended the span.
            break;
        }
    }
    told(finished);
}

void OutageLedger::startSpan(const String& name, HostState& host, const DateTime& time) {
    host.down = true;
    host.stale = false;
    host.answered = true;
    if (!open_) {
        const cpp::Time now = clock_->monotonic();
        const bool waking = resumed_ && now - resumedAt_ <= wakeWindow;
        open_ = Open{Incident{time, cpp::Duration(), waking ? Incident::Scope::wake : Incident::Scope::remote, {},
                              Incident::Ending::none},
                     now, 0};
    }
    std::vector<String>& names = open_->incident.hosts;
    if (std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(name);
    ++open_->down;
    checkLocal();
    ++version_;
}

void OutageLedger::endSpan(HostState& host, Incident::Ending ending) {
    host.down = false;
    if (open_ && --open_->down == 0)
        finish(ending);
}

void OutageLedger::checkLocal() {
    if (!open_ || open_->incident.scope != Incident::Scope::remote)
        return;
    std::size_t watched = 0;
    for (const auto& entry : hosts_) {
        const HostState& host = entry.second;
        if (!host.enabled || !host.answered)
            continue;
        if (!host.down)
            return;
        ++watched;
    }
    if (watched >= 2) {
        open_->incident.scope = Incident::Scope::local;
        ++version_;
    }
}

bool OutageLedger::finish(Incident::Ending ending) {
    if (!open_)
        return false;
    Incident incident = std::move(open_->incident);
    incident.length = clock_->monotonic() - open_->since;
    incident.ended = ending;
    open_.reset();
    for (auto& entry : hosts_) {
        // Hosts still down at a suspend or exit stay disconnected for the
        // registry.
        if (entry.second.down) {
            entry.second.down = false;
            entry.second.stale = true;
        }
    }
    Tally& tally = tallies_[static_cast<std::size_t>(incident.scope)];
    tally.count += 1;
    tally.seconds += incident.length.count() / 1000000u;
    history_.push_back(incident);
    pending_.push_back(std::move(incident));
    ++version_;
    return true;
}

void OutageLedger::told(bool finished) {
    if (finished && finished_)
        finished_();
}

void OutageLedger::suspend() {
    bool finished = false;
    {
        const std::lock_guard lock(mutex_);
        if (closed_)
            return;
        suspended_ = true;
        resumed_ = false;
        finished = finish(Incident::Ending::suspend);
    }
    told(finished);
}

bool OutageLedger::resume(const std::function<void()>& restart) {
    bool finished = false;
    {
        const std::lock_guard lock(mutex_);
        if (closed_ || (!suspended_ && resumed_))
            return false;
        finished = finish(Incident::Ending::suspend);
        // Until the runners have started again, the old children's last
        // failures begin nothing.
        suspended_ = true;
    }
    told(finished);
    if (restart)
        restart();
    const std::lock_guard lock(mutex_);
    suspended_ = false;
    resumed_ = true;
    resumedAt_ = clock_->monotonic();
    return true;
}

void OutageLedger::close() {
    bool finished = false;
    {
        const std::lock_guard lock(mutex_);
        finished = finish(Incident::Ending::exit);
        closed_ = true;
    }
    told(finished);
}

std::vector<Incident> OutageLedger::takeFinished() {
    const std::lock_guard lock(mutex_);
    std::vector<Incident> taken;
    taken.swap(pending_);
    return taken;
}

std::vector<Incident> OutageLedger::history() const {
    const std::lock_guard lock(mutex_);
    return history_;
}

std::optional<Incident> OutageLedger::current() const {
    const std::lock_guard lock(mutex_);
    if (!open_)
        return std::nullopt;
    Incident incident = open_->incident;
    incident.length = clock_->monotonic() - open_->since;
    return incident;
}

std::array<OutageLedger::Tally, Incident::scopeCount> OutageLedger::sessionTotals() const {
    const std::lock_guard lock(mutex_);
    return tallies_;
}
