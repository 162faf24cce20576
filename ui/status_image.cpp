#include "ui/status_image.h"

#include <array>

namespace ui {

namespace {

struct Rgb {
    std::uint8_t red, green, blue;
};

// A square's colours: its border and its fill.
struct Pair {
    Rgb edge;
    Rgb fill;
};

// The status colours; the icon of resources/draw_images.py shares them.
constexpr Pair grey{{206, 206, 206}, {255, 255, 255}};
constexpr Pair red{{206, 98, 52}, {255, 122, 65}};
constexpr Pair yellow{{206, 180, 110}, {255, 224, 137}};
constexpr Pair green{{163, 206, 110}, {203, 255, 137}};
constexpr Pair lost{{64, 64, 64}, {128, 128, 128}};
constexpr Rgb mark{255, 0, 0};

// The left and the right half of each image.
constexpr std::array<std::array<Pair, 2>, statusImageCount> halves{{
    {grey, grey},
    {red, red},
    {yellow, red},
    {yellow, yellow},
    {green, yellow},
    {green, green},
    {lost, lost},
}};

constexpr std::uint32_t opaque(const Rgb& colour) {
    return 0xFF000000u | (std::uint32_t{colour.red} << 16) | (std::uint32_t{colour.green} << 8) | colour.blue;
}

// Sixteenths of size, rounded.
std::int32_t part(std::int32_t sixteenths, std::int32_t size) {
    return (sixteenths * size + 8) / 16;
}

} // namespace

std::vector<std::uint32_t> statusImage(std::int32_t index, std::int32_t size) {
    if (size <= 0)
        return {};
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size) * static_cast<std::size_t>(size), 0u);
    if (index < 0 || index >= statusImageCount)
        return pixels;
    // At 16: a one-pixel border around a 12 x 12 fill, pixels 1 to 14.
    const std::int32_t first = part(1, size);
    const std::int32_t end = size - first;
    const std::int32_t border = part(1, size) < 1 ? 1 : part(1, size);
    const auto& pairs = halves[static_cast<std::size_t>(index)];
    for (std::int32_t y = first; y < end; ++y) {
        for (std::int32_t x = first; x < end; ++x) {
            const Pair& pair = pairs[x < size / 2 ? 0 : 1];
            const bool edge = x < first + border || x >= end - border || y < first + border || y >= end - border;
            pixels[static_cast<std::size_t>(y * size + x)] = opaque(edge ? pair.edge : pair.fill);
        }
    }
    if (index == statusImageCount - 1) {
        // The red mark in the lower right quarter: pixels 9 to 12 at 16.
        for (std::int32_t y = part(9, size); y < part(13, size); ++y)
            for (std::int32_t x = part(9, size); x < part(13, size); ++x)
                pixels[static_cast<std::size_t>(y * size + x)] = opaque(mark);
    }
    return pixels;
}

} // namespace ui
