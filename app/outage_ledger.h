#pragma once

#include "app/clock.h"
#include "app/host_events.h"
#include "cpp/string.h"
#include "cpp/time.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// One stretch of time in which at least one monitored host was down.
struct Incident {
    enum class Scope : std::uint8_t {
        // Every enabled host that has answered, at least two, was down at
        // once: the user's own line, router or provider.
        local,
        // Some hosts only.
        remote,
        // It began within a minute of the machine waking: its own network
        // coming back. Left out of the totals.
        wake,
    };
    enum class Ending : std::uint8_t {
        // In progress.
        none,
        // The last host down answered.
        reply,
        // The machine went to sleep.
        suspend,
        // The program ended.
        exit,
        // The last host down was disabled or removed.
        disabled,
    };
    static constexpr std::size_t scopeCount = 3;

    // Calendar time of the first host going down.
    cpp::DateTime start;
    // Measured on the monotonic clock, so that a change of the calendar
    // time neither stretches nor cuts it.
    cpp::Duration length;
    Scope scope = Scope::remote;
    // The hosts that were down, in the order they first went down.
    std::vector<cpp::String> hosts;
    Ending ended = Ending::none;

    cpp::DateTime end() const { return start + length; }
    bool operator==(const Incident&) const = default;
};

// "local", "remote", "wake"; "reply", "suspend", "exit", "disabled" and ""
// for an incident in progress.
const char* scopeName(Incident::Scope scope);
const char* endingName(Incident::Ending ending);
std::optional<Incident::Scope> scopeByName(cpp::TextSpan name);
std::optional<Incident::Ending> endingByName(cpp::TextSpan name);

// Builds incidents from the registry's host events. A host is down from its
// disconnection to the reply that ends it; the down spans of several hosts
// that overlap form one incident. A host that has not answered once since it
// was added cannot be told from one that is never reachable and is left out.
// A disabled or removed host stops being down; enabled again while the
// registry still counts it disconnected, it is down again from its first
// lost reply. Thread-safe; hostChanged is quick and calls nothing back.
class OutageLedger : public HostObserver {
public:
    static const cpp::Duration wakeWindow;

    using Finished = std::function<void()>;

    // finished is called, possibly under the registry's mutex, whenever an
    // incident has ended and waits in takeFinished: it must only hand the
    // work on.
    explicit OutageLedger(std::shared_ptr<Clock> clock = systemClock(), Finished finished = {});

    // The incidents of the file, oldest first, go before this run's.
    void restore(std::vector<Incident> earlier);

    void hostChanged(const HostEvent& event) override;

    // The machine goes to sleep: the incident in progress ends here, and no
    // incident begins until the next resume.
    void suspend();
    // The machine woke: restart (the runners' new children) is called
    // without the ledger's lock, and incidents that begin within wakeWindow
    // after it are wake incidents. One still open (a suspend that was never
    // told) ends as a suspend. False, and nothing is restarted, when it
    // repeats a resume already told since the last suspend (the system
    // sends two for one wake).
    bool resume(const std::function<void()>& restart = {});
    // At exit: the incident in progress ends with Ending::exit, and events
    // that follow are ignored.
    void close();

    // The incidents that ended since the last call, oldest first.
    std::vector<Incident> takeFinished();
    // Every finished incident, the file's and this run's, oldest first.
    std::vector<Incident> history() const;
    // The incident in progress, its length up to now.
    std::optional<Incident> current() const;
    // Changes whenever history() or current()'s hosts or scope would differ.
    std::uint64_t version() const { return version_.load(); }

    // Incidents of each scope that ended since the program started: how many
    // and their whole seconds. Cheap; for counters that only grow.
    struct Tally {
        std::uint64_t count = 0;
        std::uint64_t seconds = 0;
    };
    std::array<Tally, Incident::scopeCount> sessionTotals() const;

private:
    struct HostState {
        bool enabled = false;
        bool answered = false;
        // In a down span of the incident in progress.
        bool down = false;
        // The registry counts it disconnected, but no span is open: it was
        // disabled or the machine slept while it was down.
        bool stale = false;
    };
    struct Open {
        Incident incident;
        cpp::Time since;
        std::size_t down = 0;
    };

    // All under mutex_.
    void startSpan(const cpp::String& name, HostState& host, const cpp::DateTime& time);
    void endSpan(HostState& host, Incident::Ending ending);
    void checkLocal();
    // Returns whether an incident was finished.
    bool finish(Incident::Ending ending);
    void told(bool finished);

    const std::shared_ptr<Clock> clock_;
    const Finished finished_;

    mutable std::mutex mutex_;
    std::map<cpp::String, HostState> hosts_;
    std::optional<Open> open_;
    std::vector<Incident> history_;
    std::vector<Incident> pending_;
    std::array<Tally, Incident::scopeCount> tallies_{};
    bool suspended_ = false;
    bool closed_ = false;
    // The last resume, if one was told since the last suspend.
    bool resumed_ = false;
    cpp::Time resumedAt_{cpp::Duration()};
    std::atomic<std::uint64_t> version_{0};
};
