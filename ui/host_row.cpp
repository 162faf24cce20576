#include "ui/host_row.h"

namespace ui {

StatusImage statusImage(bool active, std::int32_t value) {
    if (!active) {
        return statusDisabled;
    }
    if (value < 0) {
        return statusLost;
    }
    if (value < 25) {
        return statusFast;
    }
    if (value < 50) {
        return statusGood;
    }
    if (value < 100) {
        return statusFair;
    }
    if (value < 250) {
        return statusLate;
    }
    return statusSlow;
}

cpp::String pingText(bool active, std::int32_t value) {
    return active && value >= 0 ? cpp::String(value) : cpp::String("-");
}

} // namespace ui
