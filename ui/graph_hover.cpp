#include "ui/graph_hover.h"

#include <algorithm>
#include <cstdint>

namespace ui {

cpp::String hoverText(const cpp::DateTime& bucketStart, const PingStats& stats) {
    // Every disconnection counted as a drop too; a row read back from a file
    // may hold fewer drops than disconnections.
    const std::int64_t drops = std::max<std::int64_t>(0, std::int64_t{stats.drops} - stats.disconnects);
    return cpp::String("%\n\nsamples: %\nping: %ms (% - %)\n% drop(s), % disconnect(s)",
                       cpp::Date(bucketStart).toString(), stats.count, stats.average, stats.minimum,
                       stats.maximum, drops, stats.disconnects);
}

} // namespace ui
