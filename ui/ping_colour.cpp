#include "ui/ping_colour.h"

namespace ui {

Colour pingColour(std::int32_t milliseconds) {
    const std::int32_t p = milliseconds;
    if (p < 20)
        return Colour{160, 208, 112};
    if (p < 50)
        return Colour{static_cast<std::uint8_t>(160 + 64 * (p - 20) / 30), 208, 112};
    if (p < 250)
        return Colour{224, static_cast<std::uint8_t>(208 - 160 * (p - 50) / 200),
                      static_cast<std::uint8_t>(112 - 80 * (p - 50) / 200)};
    return Colour{224, 48, 32};
}

} // namespace ui
