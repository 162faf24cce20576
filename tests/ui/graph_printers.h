#pragma once

#include "ui/graph_layout.h"
#include "ui/ping_colour.h"

#include <ostream>

// Readable failure messages for the graph's values.
namespace ui {

inline void PrintTo(const Colour& c, std::ostream* out) {
    *out << int(c.red) << "," << int(c.green) << "," << int(c.blue) << " alpha " << int(c.alpha);
}

inline void PrintTo(const Rect& r, std::ostream* out) {
    *out << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

inline void PrintTo(const Fill& f, std::ostream* out) {
    PrintTo(f.rect, out);
    *out << " ";
    PrintTo(f.colour, out);
}

} // namespace ui
