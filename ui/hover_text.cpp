#include "ui/hover_text.h"

namespace ui {

cpp::String hoverText(const HostRecord& host, const cpp::DateTime& now, const std::optional<cpp::String>& label) {
    cpp::String text;
    if (label) {
        text = *label + "\n\n";
    }
    if (host.enabled()) {
        if (host.connectedSince > host.disconnectedSince) {
            text += cpp::String("Connected for %\n", (now - host.connectedSince).text());
        } else if (host.disconnectedSince > host.connectedSince) {
            text += cpp::String("Disconnected for %\n", (now - host.disconnectedSince).text());
        }
    }
    if (host.disconnects > 0) {
        text += cpp::String("There have been % disconnect(s) this session:\n", host.disconnects);
        text += cpp::String("    Average: %\n", host.averageDisconnect.text());
        text += cpp::String("    Longest: %\n", host.longestDisconnect.text());
    }
    return text;
}

std::u16string fitToBuffer(std::u16string text, std::size_t bufferSize) {
    if (bufferSize == 0) {
        return {};
    }
    if (text.size() < bufferSize) {
        return text;
    }
    std::size_t length = bufferSize - 1;
    // The last unit kept would be half of a pair: drop it too.
    if (length > 0 && text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF) {
        --length;
    }
    text.resize(length);
    return text;
}

} // namespace ui
