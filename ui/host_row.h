#pragma once

#include "cpp/string.h"

#include <cstdint>

// How the host list shows one host: the index of its status image in the
// list's image list, and the text of its "Ping" column.
namespace ui {

enum StatusImage : std::int32_t {
    statusDisabled = 0,
    statusSlow = 1, // 250 ms or more
    statusLate = 2, // 100 to 249 ms
    statusFair = 3, // 50 to 99 ms
    statusGood = 4, // 25 to 49 ms
    statusFast = 5, // 0 to 24 ms
    statusLost = 6, // enabled, the last ping got no reply
};

// value is a reply time in ms, or negative for a ping that got no reply.
StatusImage statusImage(bool active, std::int32_t value);
// The value in decimal, or "-" when the host is not active or got no reply.
cpp::String pingText(bool active, std::int32_t value);

} // namespace ui
