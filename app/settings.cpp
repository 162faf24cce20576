#include "app/settings.h"

#include "app/host_registry.h"
#include "app/sample_store.h"
#include "cpp/exception.h"

#include <algorithm>
#include <array>
#include <cstddef>

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
    for (const cpp::Duration& candidate : SampleStore::scales()) {
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

void save(cpp::PropertyFile& file, const HostRegistry& registry, const std::optional<WindowState>& window) {
    cpp::String hosts;
    cpp::String active;
    for (const cpp::String& name : registry.names()) {
        hosts += name + ";";
        if (registry.record(name).active != 0)
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
