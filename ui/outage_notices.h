#pragma once

#include "app/host_events.h"
#include "cpp/string.h"
#include "cpp/time.h"

#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

// The notifications of outages: a host that has not answered for a while,
// its answering again, and the connection itself going and coming back when
// every enabled host is down at once. At most one notification shows per
// interval; what falls in between is summed into the next one.
namespace ui {

struct Notice {
    cpp::String title;
    cpp::String text;

    bool operator==(const Notice&) const = default;
};

class OutageNotices : public HostObserver {
public:
    // How long a host must have been down before it is told.
    inline static const cpp::Duration downDelay = cpp::Duration::seconds(10);
    inline static const cpp::Duration interval = cpp::Duration::seconds(30);
    // Lines of a summed notification before the rest is only counted.
    static constexpr std::size_t listedChanges = 4;

    // From the registry's observers, on any thread.
    void hostChanged(const HostEvent& event) override;

    // From the thread that shows notifications, about once a second while
    // waiting(): the notification to show now, if one is due.
    std::optional<Notice> poll(const cpp::DateTime& now);
    // Whether a poll may still give a notification without another event:
    // one is waiting for its interval, or a host that is down is yet to be
    // told. While not, there is nothing to poll for.
    bool waiting();

private:
    enum class Change { hostDown, hostUp, connectionDown, connectionUp };
    struct Pending {
        Change change;
        cpp::String name;
        // When it went down, or how long it was down.
        cpp::DateTime since;
        cpp::Duration length;
    };
    struct Host {
        bool enabled = false;
        // Losses since the last reply; two make the host down.
        int losses = 0;
        std::optional<cpp::DateTime> downSince;
        // When a host that is down is told, unless the connection covers it.
        cpp::DateTime dueAt;
        bool told = false;
        // Down as part of the connection's outage, which was told instead.
        bool covered = false;
    };

    // Under the mutex.
    void sample(Host& host, const HostEvent& event);
    void forget(const cpp::String& name);
    // Down, not yet told, and not part of a connection outage told instead.
    static bool untold(const Host& host);
    void findDue(const cpp::DateTime& now);
    bool everyEnabledHostDown() const;
    Notice compose() const;

    std::mutex mutex_;
    std::map<cpp::String, Host> hosts_;
    std::optional<cpp::DateTime> connectionDownSince_;
    std::vector<Pending> pending_;
    std::optional<cpp::DateTime> lastShown_;
};

} // namespace ui
