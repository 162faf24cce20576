#include "ui/close_cross.h"

#include <algorithm>
#include <utility>

namespace ui {

std::vector<Rect> closeCrossRuns(const Rect& face, const Dpi& dpi) {
    const int extent = std::min({dpi(10), face.width(), face.height()});
    if (extent <= 0)
        return {};
    const int stroke = std::min(dpi.atLeastOne(2), extent);
    const int left = face.left + (face.width() - extent) / 2;
    const int top = face.top + (face.height() - extent) / 2;
    std::vector<Rect> runs;
    for (int row = 0; row < extent; ++row) {
        // The falling stroke starts at the row's own column, the rising one
        // ends at its mirror; both are cut at the cross's edges, as the
        // 16-pixel image has them.
        std::pair<int, int> first{row, std::min(row + stroke, extent)};
        std::pair<int, int> second{std::max(extent - row - stroke, 0), extent - row};
        if (second.first < first.first)
            std::swap(first, second);
        const int y = top + row;
        if (first.second >= second.first) {
            // The strokes meet: one run.
            runs.push_back({left + first.first, y, left + std::max(first.second, second.second), y + 1});
        } else {
            runs.push_back({left + first.first, y, left + first.second, y + 1});
            runs.push_back({left + second.first, y, left + second.second, y + 1});
        }
    }
    return runs;
}

} // namespace ui
