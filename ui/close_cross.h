#pragma once

#include "ui/dpi.h"
#include "ui/layout.h"

#include <vector>

namespace ui {

// The update notice's close cross, drawn for the button it is on rather
// than stretched from one bitmap: 10 pixels across at 96 DPI with strokes
// 2 pixels wide, scaled by the DPI, smaller where the button's face is too small for it,
// and centred on the face.
//
// The horizontal runs of pixels to fill, top row first, each one pixel
// high; none for a face with no room.
std::vector<Rect> closeCrossRuns(const Rect& face, const Dpi& dpi);

} // namespace ui
