#pragma once

#include "ui/host_row.h"

#include "cpp/string.h"

#include <cstdint>
#include <vector>

// What the notification-area icon shows of the hosts: one status image and
// a tip, both from the hosts' last results.
namespace ui {

struct TrayHost {
    bool active = false;
    // The last sample: a reply time in ms, or negative for no reply.
    std::int32_t last = -1;
};

struct TrayStatus {
    StatusImage image = statusDisabled;
    cpp::String tip;

    bool operator==(const TrayStatus&) const = default;
};

// The image of the worst enabled host (one that got no reply is worse than
// any reply; otherwise the slowest band wins), the hollow image with no host
// enabled; the tip counts the enabled hosts whose last ping was answered and
// names the slowest reply among them: "3 of 4 hosts up, slowest 120 ms".
TrayStatus trayStatus(const std::vector<TrayHost>& hosts);

} // namespace ui
