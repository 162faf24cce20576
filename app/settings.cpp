#include "app/settings.h"

#include "app/host_registry.h"
#include "app/scale_buckets.h"
#include "cpp/exception.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace settings {

namespace {

// Only digits, and a number that fits a window coordinate.
std::optional<std::int32_t> windowNumber(cpp::TextSpan digits) {
    const char* const begin = digits.begin();
    const std::size_t size = digits.size();
    if (size == 0 || !std::all_of(begin, begin + size, [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    try {
        const std::int64_t number = cpp::String(digits).toInteger();
        if (number > INT32_MAX)
            return std::nullopt;
        return static_cast<std::int32_t>(number);
    } catch (const cpp::Exception&) {
        return std::nullopt;
    }
}

bool allDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

constexpr const char* defaultMetrics = "127.0.0.1:9464";

} // namespace

std::vector<cpp::String> hostNames(cpp::TextSpan value) {
    return cpp::String(value).split(";", cpp::String::whitespace);
}

std::optional<Placement> placement(cpp::TextSpan value) {
    // Four runs of digits and three commas, nothing else; scanned by hand, as
    // std::regex recurses once per digit and a long value would overflow the
    // stack at start-up.
    const std::vector<cpp::TextSpan> pieces = value.split(",", "", true);
    if (pieces.size() != 4)
        return std::nullopt;
    std::array<std::int32_t, 4> numbers{};
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const auto number = windowNumber(pieces[i]);
        if (!number)
            return std::nullopt;
        numbers[i] = *number;
    }
    return Placement{numbers[0], numbers[1], numbers[2], numbers[3]};
}

std::optional<cpp::Duration> scale(cpp::TextSpan value) {
    if (value.size() == 0)
        return std::nullopt;
    std::int64_t seconds = 0;
    try {
        seconds = cpp::String(value).toInteger();
    } catch (const cpp::Exception&) {
        return std::nullopt;
    }
    for (const cpp::Duration& candidate : ScaleBuckets::scales()) {
        if (static_cast<std::int64_t>(candidate.count() / 1000000u) == seconds)
            return candidate;
    }
    return std::nullopt;
}

TrayChoices trayChoices(const cpp::PropertyFile& file) {
    const auto choice = [&file](const char* key, bool otherwise) {
        const cpp::String value(file.get(key));
        return value == "1" ? true : value == "0" ? false : otherwise;
    };
    const TrayChoices defaults;
    return {choice("tray", defaults.minimizeToTray), choice("notify", defaults.notify),
            choice("autostart", defaults.startWithWindows)};
}

std::optional<cpp::String> metricsListen(cpp::TextSpan setting, const cpp::PropertyMap& commandLine) {
    if (commandLine.contains("--metrics")) {
        const cpp::TextSpan given = commandLine.get("--metrics");
        return given.empty() ? cpp::String(defaultMetrics) : cpp::String(given);
    }
    const std::string_view text = setting.view();
    const std::size_t first = text.find_first_not_of(cpp::String::whitespace);
    if (first == std::string_view::npos)
        return std::nullopt;
    return cpp::String(text.substr(first, text.find_last_not_of(cpp::String::whitespace) + 1 - first));
}

std::optional<Endpoint> endpoint(cpp::TextSpan value) {
    const std::string_view text = value.view();
    std::string_view host;
    std::string_view port = text;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos || text.substr(close + 1, 1) != ":")
            return std::nullopt;
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
        if (host.empty())
            return std::nullopt;
    } else if (const std::size_t colon = text.find(':'); colon != std::string_view::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        // An IPv6 address needs its brackets, or its last part would be the port.
        if (host.find(':') != std::string_view::npos || port.find(':') != std::string_view::npos)
            return std::nullopt;
    }
    if (!allDigits(port) || port.size() > 5)
        return std::nullopt;
    const std::int64_t number = cpp::String(port).toInteger();
    if (number < 1 || number > 65535)
        return std::nullopt;
    Endpoint result;
    result.address = host.empty() || host == "localhost" ? cpp::String("127.0.0.1") : cpp::String(host);
    result.port = static_cast<std::uint16_t>(number);
    return result;
}

void save(cpp::PropertyFile& file, const HostRegistry& registry, const std::optional<WindowState>& window) {
    cpp::String hosts;
    cpp::String active;
    for (const cpp::String& name : registry.names()) {
        hosts += name + ";";
        if (registry.record(name).enabled())
            active += name + ";";
    }
    file.set("hosts", hosts);
    file.set("active", active);
    if (!window)
        return;
    const Placement& place = window->placement;
    file.set("pos", cpp::String("%,%,%,%", place.left, place.top, place.width, place.height));
    file.set("scale", cpp::String(window->scale.count() / 1000000u));
    const auto flag = [](bool on) { return cpp::String(on ? "1" : "0"); };
    file.set("tray", flag(window->tray.minimizeToTray));
    file.set("notify", flag(window->tray.notify));
    file.set("autostart", flag(window->tray.startWithWindows));
}

} // namespace settings
