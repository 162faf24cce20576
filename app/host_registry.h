#pragma once

#include "app/clock.h"
#include "app/host_events.h"
#include "app/host_view.h"
#include "app/ping_runner.h"
#include "cpp/bus.h"
#include "cpp/string.h"
#include "cpp/thread.h"
#include "cpp/time.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class SampleStore;

// Where a host's pinging is.
enum class RunState : std::uint8_t {
    // Not pinged.
    stopped,
    // Its runner runs the child.
    running,
    // The runner waits to start the child again.
    restarting,
};

// One registered host's state in this session. A value: queries copy it.
struct HostRecord {
    cpp::String name;
    RunState run = RunState::stopped;
    // The last sample value: a reply time, or -n for the n-th loss in a row.
    std::int32_t last = -1;
    bool connected = false;
    cpp::DateTime connectedSince;
    cpp::DateTime disconnectedSince;
    // In whole seconds.
    cpp::Duration averageDisconnect;
    cpp::Duration longestDisconnect;
    // Finished disconnections.
    std::int32_t disconnects = 0;

    // Pinged, or about to be again.
    bool enabled() const { return run != RunState::stopped; }
};

// The monitored hosts and, for every enabled one, its ping runner thread.
// Its mutex is never held while the store's is: samples are stored after it
// is released, and a runner is joined with it released, since the runner may
// be waiting for it.
class HostRegistry {
public:
    // Window tasks go to bus.
    HostRegistry(SampleStore& store, std::shared_ptr<Clock> clock, cpp::Bus bus,
                 PingRunner::Options runnerOptions = {});
    // Stops every runner.
    ~HostRegistry();
    HostRegistry(const HostRegistry&) = delete;
    HostRegistry& operator=(const HostRegistry&) = delete;

    // From the window thread; null detaches the view. Tasks already posted
    // see the view that is set when they run.
    void setView(HostView* view);
    // Before any host is enabled; the observer must outlive the registry's
    // runners.
    void addObserver(HostObserver* observer);

    // Registered names in byte-wise order.
    std::vector<cpp::String> names() const;
    // The clock the records are kept on, for whoever shows them.
    const Clock& clock() const { return *clock_; }
    // Where the registry's window tasks go; the windows post there too.
    const cpp::Bus& bus() const { return bus_; }
    // Throw cpp::Exception for a position or name that is not registered.
    HostRecord recordAt(std::size_t position) const;
    HostRecord record(const cpp::String& name) const;
    bool contains(const cpp::String& name) const;

    void ensure(const cpp::String& name);
    // Starts the host's runner unless it has one; keeps connected and last.
    void enable(const cpp::String& name);
    // Stop the host's runner, if any; remove also forgets the record.
    void disable(const cpp::String& name);
    void remove(const cpp::String& name);
    void stopAll();
    // Stops the runner of every enabled host and starts it again, so that
    // each starts its ping.exe afresh (after the machine wakes); observers
    // see each host disabled and enabled.
    void restartAll();

    // From the host's runner: raw is a reply time in ms or -1 for a lost
    // reply. Stores the sample value and posts it to the view.
    void recordSample(const cpp::String& name, std::int32_t raw);

    // From the host's runner. A runner that is being stopped gets
    // cpp::InterruptException instead, so a stopped host never looks enabled.
    void setRunState(const cpp::String& name, RunState state);
    // Posts a task that shows the host as lost.
    void showAsLost(const cpp::String& name) const;

private:
    using ViewSlot = std::atomic<HostView*>;

    HostRecord& recordLocked(const cpp::String& name);
    void enableLocked(const cpp::String& name);
    // Called and returns with lock held; releases it while joining.
    void stopLocked(std::unique_lock<std::mutex>& lock, const cpp::String& name);
    void post(const cpp::String& name, std::int32_t value) const;
    // Under the mutex.
    void notify(HostEvent::Kind kind, const cpp::String& name, const cpp::DateTime& time, std::int32_t raw = 0);

    SampleStore& store_;
    const std::shared_ptr<Clock> clock_;
    const cpp::Bus bus_;
    const PingRunner::Options runnerOptions_;
    // Shared with posted tasks, which may outlive the registry in the queue.
    const std::shared_ptr<ViewSlot> view_ = std::make_shared<ViewSlot>(nullptr);

    mutable std::mutex mutex_;
    std::map<cpp::String, HostRecord> hosts_;
    std::map<cpp::String, cpp::Thread> runners_;
    std::vector<HostObserver*> observers_;
};
