#include "ui/tray_status.h"

#include <algorithm>
#include <optional>

namespace ui {

namespace {

// Worse first: no reply, then from the slowest band to the fastest.
int badness(StatusImage image) {
    switch (image) {
    case statusLost:
        return 6;
    case statusSlow:
        return 5;
    case statusLate:
        return 4;
    case statusFair:
        return 3;
    case statusGood:
        return 2;
    case statusFast:
        return 1;
    case statusDisabled:
        break;
    }
    return 0;
}

} // namespace

TrayStatus trayStatus(const std::vector<TrayHost>& hosts) {
    TrayStatus status;
    std::size_t enabled = 0, up = 0;
    std::optional<std::int32_t> slowest;
    for (const TrayHost& host : hosts) {
        if (!host.active)
            continue;
        ++enabled;
        const StatusImage image = statusImage(true, host.last);
        if (badness(image) > badness(status.image))
            status.image = image;
        if (host.last >= 0) {
            ++up;
            slowest = std::max(slowest.value_or(0), host.last);
        }
    }
    if (enabled == 0) {
        status.tip = "tarnlet: no host is pinged";
        return status;
    }
    status.tip = cpp::String("% of % host% up", up, enabled, enabled == 1 ? "" : "s");
    if (slowest)
        status.tip += cpp::String(", slowest % ms", *slowest);
    return status;
}

} // namespace ui
