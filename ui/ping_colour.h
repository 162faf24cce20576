#pragma once

#include <cstdint>

namespace ui {

// An 8-bit colour with the alpha it is blended with; 255 is opaque.
struct Colour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 255;

    Colour withAlpha(std::uint8_t value) const { return Colour{red, green, blue, value}; }
    bool operator==(const Colour&) const = default;
};

// The graph's fixed colours. Text and lines are white.
namespace colours {
inline constexpr Colour outline{64, 64, 64};
inline constexpr Colour white{255, 255, 255};
inline constexpr Colour black{0, 0, 0};
inline constexpr Colour drop{224, 208, 112};
inline constexpr Colour disconnect{224, 48, 32};
inline constexpr Colour liveBackground{112, 128, 160};
inline constexpr Colour pastBackground{128, 128, 128};
} // namespace colours

// The colour of a round-trip time: green below 20 ms, through yellow at
// 50 ms, to red from 250 ms on; opaque.
Colour pingColour(std::int32_t milliseconds);

} // namespace ui
