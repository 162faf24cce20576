#pragma once

#include "app/host_registry.h"
#include "cpp/string.h"
#include "cpp/time.h"

#include <cstddef>
#include <optional>
#include <string>

// The hover text of a row of the host list: how long the host has been
// connected or disconnected, and its disconnections this session.
namespace ui {

// label is the row's full label when the list shows it folded (the text
// then starts with it and a blank line), nothing when it shows it whole.
cpp::String hoverText(const HostRecord& host, const cpp::DateTime& now, const std::optional<cpp::String>& label);

// text cut so that it and its terminator fit bufferSize UTF-16 units; a
// surrogate pair is never split. Empty for a buffer of 0.
std::u16string fitToBuffer(std::u16string text, std::size_t bufferSize);

} // namespace ui
