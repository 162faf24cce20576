#pragma once

#include <cstdint>
#include <vector>

namespace ui {

// The host list's and the notification area's status squares, drawn for
// the size they are shown at rather than stretched from one size.
// index is the image-list index of host_row.h (0 disabled ... 6 no reply).
inline constexpr std::int32_t statusImageCount = 7;

// size x size pixels, top row first, each 0xAARRGGBB premultiplied (as a
// 32-bit top-down DIB holds them); transparent outside the square. An
// index out of range gives a transparent image.
std::vector<std::uint32_t> statusImage(std::int32_t index, std::int32_t size);

} // namespace ui
