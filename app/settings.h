#pragma once

#include "cpp/property_file.h"
#include "cpp/property_map.h"
#include "cpp/string.h"
#include "cpp/text_span.h"
#include "cpp/time.h"

#include <cstdint>
#include <optional>
#include <vector>

class HostRegistry;

// The program's keys in config.txt: which hosts exist and which are pinged,
// where the main window stands, and the graph's scale.
namespace settings {

// The main window's left, top, width and height in screen pixels.
struct Placement {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The notification-area choices: keys "tray" (minimize to the notification
// area), "notify" (notify on outages) and "autostart" (start with Windows),
// each "1" or "0".
struct TrayChoices {
    bool minimizeToTray = true;
    bool notify = true;
    bool startWithWindows = false;

    bool operator==(const TrayChoices&) const = default;
};

// What the window contributes to a save; absent while there is no window.
struct WindowState {
    Placement placement;
    cpp::Duration scale;
    TrayChoices tray;
};

// The names of a "hosts" or "active" value: split at ';', trimmed, empty
// pieces dropped.
std::vector<cpp::String> hostNames(cpp::TextSpan value);

// A "pos" value that is exactly four unsigned numbers that a window can take
// (up to 2^31 - 1); anything else (a negative or missing number, letters, a
// trailing comma) is no placement.
std::optional<Placement> placement(cpp::TextSpan value);

// The store's first scale whose length in whole seconds is the "scale" value,
// or none for an empty value or a length that is not a scale. A number
// beyond 64 bits is no scale either: a setting must never stop the program
// from starting.
std::optional<cpp::Duration> scale(cpp::TextSpan value);

// The choices in file; a missing key, or any value but "1" and "0", is the
// default.
TrayChoices trayChoices(const cpp::PropertyFile& file);

// Where the metrics page is to be served.
struct Endpoint {
    cpp::String address;
    std::uint16_t port = 0;
};

// What the metrics page should listen on: the command line's "--metrics"
// wins for the run (without a value: 127.0.0.1:9464), else the "metrics"
// key; none when neither asks (an empty or blank key is off).
std::optional<cpp::String> metricsListen(cpp::TextSpan setting, const cpp::PropertyMap& commandLine);

// "HOST:PORT", "[IPv6]:PORT", ":PORT" or "PORT". No host or "localhost" is
// 127.0.0.1, so that only a host given explicitly listens beyond loopback;
// a host is never looked up. The port is 1 to 65535. None for anything else.
std::optional<Endpoint> endpoint(cpp::TextSpan value);

// Appends hosts, then active, then (with a window) pos, scale, tray, notify
// and autostart. A line the file refuses stays in memory, to be written by
// the next save.
void save(cpp::PropertyFile& file, const HostRegistry& registry, const std::optional<WindowState>& window);

} // namespace settings
