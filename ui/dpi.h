#pragma once

#include <cstdint>
#include <type_traits>

namespace ui {

// The dots per inch a window is drawn at, and the sizes it turns into
// device pixels. Every size of the program's layout is written as its
// pixels at 96 DPI (100 % scaling), where it is drawn as written.
struct Dpi {
    static constexpr std::int32_t standard = 96;

    std::int32_t value = standard;

    // pixels at 96 DPI in device pixels, rounded half away from zero.
    constexpr std::int32_t operator()(std::int32_t pixels) const { return Dpi{}.convert(pixels, *this); }
    // The same, at least one pixel: for line widths and borders.
    constexpr std::int32_t atLeastOne(std::int32_t pixels) const {
        const std::int32_t scaled = (*this)(pixels);
        return scaled < 1 ? 1 : scaled;
    }
    // A size of this DPI as it is at another, as a window moved between
    // screens keeps its size in inches.
    constexpr std::int32_t convert(std::int32_t pixels, const Dpi& to) const {
        // A DPI of none never comes from the system; kept as it is.
        if (value <= 0)
            return pixels;
        const std::int64_t scaled = std::int64_t{pixels} * to.value;
        const std::int64_t half = value / 2;
        return static_cast<std::int32_t>(scaled >= 0 ? (scaled + half) / value : -((-scaled + half) / value));
    }
    bool operator==(const Dpi&) const = default;
};

static_assert(std::is_trivially_copyable_v<Dpi>);

} // namespace ui
