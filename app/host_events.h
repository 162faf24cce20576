#pragma once

#include "cpp/string.h"
#include "cpp/time.h"

#include <cstdint>

// One change of a host as the registry sees it: what those that keep their
// own account of the hosts (the outage ledger, the metrics) are told.
struct HostEvent {
    enum class Kind : std::uint8_t {
        // The host's runner was started, or stopped and joined.
        enabled,
        disabled,
        // The host was forgotten; a running host is disabled first.
        removed,
        // A sample was recorded: raw is a reply time in ms or -1 for a loss.
        sample,
        // The registry's own disconnection (the second loss in a row of a
        // connected host) and the reply that ends it.
        disconnected,
        reconnected,
    };

    Kind kind = Kind::sample;
    cpp::String name;
    cpp::DateTime time;
    std::int32_t raw = 0;
};

// Told of every host event, under the registry's mutex and so in the order
// the events happened, across all hosts. It must be quick and must not call
// back into the registry: anything slow (a file, the window) goes elsewhere.
class HostObserver {
public:
    virtual ~HostObserver() = default;
    virtual void hostChanged(const HostEvent& event) = 0;
};
