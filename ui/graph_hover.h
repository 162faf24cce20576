#pragma once

#include "app/ping_stats.h"
#include "cpp/string.h"
#include "cpp/time.h"

namespace ui {

// The hover box's text for one bucket: its local start time, the replies
// and their times, the drops that did not disconnect, the disconnections.
cpp::String hoverText(const cpp::DateTime& bucketStart, const PingStats& stats);

} // namespace ui
