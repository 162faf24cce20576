#pragma once

#include "cpp/win32/unique_handle.h"

#include <cstdint>
#include <optional>

namespace ui {

// A 32-bit top-down bitmap selected into a memory device context of its
// own; the two are made and freed together. Move-only.
class BitmapSurface {
public:
    BitmapSurface() = default;
    // Throws cpp::windows::Exception when the system has no room for it.
    BitmapSurface(std::int32_t width, std::int32_t height);
    BitmapSurface(BitmapSurface&&) = default;
    // Not assignable: the parts must go in the reverse order they came.
    BitmapSurface& operator=(BitmapSurface&&) = delete;

    HDC dc() const { return dc_.get(); }
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    // Blue, green, red, unused: row by row from the top. Call GdiFlush
    // before writing where GDI has drawn.
    std::uint32_t* pixels() const { return pixels_; }

private:
    // Freed bottom up: the bitmap is selected out, deleted, then the context.
    cpp::windows::MemoryDc dc_;
    cpp::windows::BitmapHandle bitmap_;
    cpp::windows::SelectedObject selected_;
    std::uint32_t* pixels_ = nullptr;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
};

// The off-screen picture of a window: painted in full, then copied to the
// screen in one step so a repaint never flickers. Kept between paints and
// made anew only when the window's size changes.
class BackBuffer {
public:
    // The buffer's device context, width x height, its contents undefined.
    HDC prepare(std::int32_t width, std::int32_t height);
    // Copies the part of the buffer under area to the same place of target.
    void present(HDC target, const RECT& area) const;

private:
    std::optional<BitmapSurface> surface_;
};

} // namespace ui
