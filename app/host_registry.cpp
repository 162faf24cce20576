#include "app/host_registry.h"

#include "app/sample_store.h"
#include "cpp/exception.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace {

std::int64_t wholeSeconds(const cpp::Duration& duration) {
    return static_cast<std::int64_t>(duration.count() / 1000000u);
}

// min(last - 1, raw) without wrapping after the longest run of losses.
std::int32_t lossValue(std::int32_t last, std::int32_t raw) {
    const std::int32_t next = last == std::numeric_limits<std::int32_t>::min() ? last : last - 1;
    return std::min(next, raw);
}

} // namespace

HostRegistry::HostRegistry(SampleStore& store, std::shared_ptr<Clock> clock, cpp::Bus bus,
                           PingRunner::Options runnerOptions)
    : store_(store), clock_(std::move(clock)), bus_(std::move(bus)), runnerOptions_(std::move(runnerOptions)) {}

HostRegistry::~HostRegistry() {
    stopAll();
}

void HostRegistry::setView(HostView* view) {
    view_->store(view);
}

void HostRegistry::addObserver(HostObserver* observer) {
    const std::lock_guard lock(mutex_);
    observers_.push_back(observer);
}

void HostRegistry::notify(HostEvent::Kind kind, const cpp::String& name, const cpp::DateTime& time, std::int32_t raw) {
    if (observers_.empty())
        return;
    const HostEvent event{kind, name, time, raw};
    for (HostObserver* observer : observers_)
        observer->hostChanged(event);
}

std::vector<cpp::String> HostRegistry::names() const {
    const std::lock_guard lock(mutex_);
    std::vector<cpp::String> result;
    result.reserve(hosts_.size());
    for (const auto& entry : hosts_) {
        result.push_back(entry.first);
    }
    return result;
}

HostRecord HostRegistry::recordAt(std::size_t position) const {
    const std::lock_guard lock(mutex_);
    if (position >= hosts_.size()) {
        throw cpp::Exception(cpp::String("no host at position %", position));
    }
    return std::next(hosts_.begin(), static_cast<std::ptrdiff_t>(position))->second;
}

HostRecord HostRegistry::record(const cpp::String& name) const {
    const std::lock_guard lock(mutex_);
    const auto found = hosts_.find(name);
    if (found == hosts_.end()) {
        throw cpp::Exception(cpp::String("unknown host: %", name));
    }
    return found->second;
}

bool HostRegistry::contains(const cpp::String& name) const {
    const std::lock_guard lock(mutex_);
    return hosts_.count(name) != 0;
}

HostRecord& HostRegistry::recordLocked(const cpp::String& name) {
    auto found = hosts_.find(name);
    if (found == hosts_.end()) {
        HostRecord record;
        record.name = name;
        record.connectedSince = clock_->now();
        record.disconnectedSince = record.connectedSince;
        found = hosts_.emplace(name, std::move(record)).first;
    }
    return found->second;
}

void HostRegistry::ensure(const cpp::String& name) {
    const std::lock_guard lock(mutex_);
    recordLocked(name);
}

void HostRegistry::enable(const cpp::String& name) {
    const std::lock_guard lock(mutex_);
    enableLocked(name);
}

void HostRegistry::enableLocked(const cpp::String& name) {
    HostRecord& record = recordLocked(name);
    if (runners_.count(name) != 0) {
        return;
    }
    record.run = RunState::running;
    record.connectedSince = clock_->now();
    record.disconnectedSince = record.connectedSince;
    PingRunner runner(name, this, runnerOptions_, clock_);
    runners_.emplace(name, cpp::Thread([runner] { runner.run(); }));
    notify(HostEvent::Kind::enabled, name, record.connectedSince);
}

void HostRegistry::stopLocked(std::unique_lock<std::mutex>& lock, const cpp::String& name) {
    const auto found = runners_.find(name);
    if (found == runners_.end()) {
        return;
    }
    if (const auto host = hosts_.find(name); host != hosts_.end()) {
        host->second.run = RunState::stopped;
    }
    // Interrupting under the lock pairs with setRunState's check under it.
    found->second.interrupt();
    // Taken out first, so a second stopper meanwhile finds nothing to join.
    cpp::Thread thread = std::move(found->second);
    runners_.erase(found);
    lock.unlock();
    try {
        thread.join();
    } catch (...) {
        lock.lock();
        throw;
    }
    lock.lock();
    // After the join: no sample of the stopped runner can follow it.
    notify(HostEvent::Kind::disabled, name, clock_->now());
}

void HostRegistry::disable(const cpp::String& name) {
    std::unique_lock lock(mutex_);
    stopLocked(lock, name);
}

void HostRegistry::remove(const cpp::String& name) {
    std::unique_lock lock(mutex_);
    if (hosts_.count(name) == 0) {
        return;
    }
    stopLocked(lock, name);
    hosts_.erase(name);
    notify(HostEvent::Kind::removed, name, clock_->now());
}

void HostRegistry::stopAll() {
    std::unique_lock lock(mutex_);
    while (!runners_.empty()) {
        const cpp::String name = runners_.begin()->first;
        stopLocked(lock, name);
    }
}

void HostRegistry::restartAll() {
    std::unique_lock lock(mutex_);
    std::vector<cpp::String> running;
    for (const auto& entry : runners_)
        running.push_back(entry.first);
    for (const cpp::String& name : running) {
        stopLocked(lock, name);
        // Removed, or started again by another caller, while the lock was
        // let go for the join.
        if (hosts_.count(name) != 0 && runners_.count(name) == 0)
            enableLocked(name);
    }
}

void HostRegistry::recordSample(const cpp::String& name, std::int32_t raw) {
    std::int32_t value = raw;
    // Told after the sample that caused them.
    bool disconnected = false, reconnected = false;
    {
        const std::lock_guard lock(mutex_);
        HostRecord& r = recordLocked(name);
        const cpp::DateTime now = clock_->now();
        if (!r.connected) {
            if (raw >= 0) {
                if (r.disconnectedSince > r.connectedSince) {
                    const cpp::Duration length = now - r.disconnectedSince;
                    if (length > r.longestDisconnect) {
                        r.longestDisconnect = length;
                    }
                    r.disconnects += 1;
                    const double n = r.disconnects;
                    const double average = static_cast<double>(wholeSeconds(r.averageDisconnect)) * (n - 1) / n +
                                           static_cast<double>(wholeSeconds(length)) / n;
                    r.averageDisconnect = cpp::Duration::seconds(static_cast<std::uint64_t>(average));
                    reconnected = true;
                }
                r.connected = true;
                r.connectedSince = now;
                value = raw;
            } else {
                value = lossValue(r.last, raw);
            }
        } else if (r.last != -1) {
            value = raw >= 0 ? raw : lossValue(r.last, raw);
        } else if (raw < 0) {
            r.connected = false;
            r.disconnectedSince = now;
            value = lossValue(r.last, raw);
            disconnected = true;
        }
        r.last = value;
        notify(HostEvent::Kind::sample, name, now, raw);
        if (disconnected)
            notify(HostEvent::Kind::disconnected, name, now);
        if (reconnected)
            notify(HostEvent::Kind::reconnected, name, now);
    }
    (void)store_.addSample(name, value);
    post(name, value);
}

void HostRegistry::setRunState(const cpp::String& name, RunState state) {
    const std::lock_guard lock(mutex_);
    // The stopper set the host stopped and interrupted us under this lock.
    if (cpp::Thread::current() && cpp::Thread::current()->interrupted()) {
        throw cpp::InterruptException();
    }
    recordLocked(name).run = state;
}

void HostRegistry::showAsLost(const cpp::String& name) const {
    post(name, -1);
}

void HostRegistry::post(const cpp::String& name, std::int32_t value) const {
    bus_.post([view = view_, name, value] {
        if (HostView* target = view->load()) {
            target->updateHost(name, value);
        }
    });
}
