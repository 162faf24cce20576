#include "ui/win32/back_buffer.h"

#include "cpp/win32/windows_exception.h"

#include <utility>

namespace ui {

BitmapSurface::BitmapSurface(std::int32_t width, std::int32_t height) : width_(width), height_(height) {
    dc_ = CreateCompatibleDC(nullptr);
    if (!dc_)
        throw cpp::windows::Exception();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap_) {
        const cpp::windows::Exception failure;
        release();
        throw failure;
    }
    pixels_ = static_cast<std::uint32_t*>(bits);
    previous_ = SelectObject(dc_, bitmap_);
}

BitmapSurface::~BitmapSurface() {
    release();
}

BitmapSurface::BitmapSurface(BitmapSurface&& other) noexcept
    : dc_(std::exchange(other.dc_, nullptr)), bitmap_(std::exchange(other.bitmap_, nullptr)),
      previous_(std::exchange(other.previous_, nullptr)), pixels_(std::exchange(other.pixels_, nullptr)),
      width_(std::exchange(other.width_, 0)), height_(std::exchange(other.height_, 0)) {}

BitmapSurface& BitmapSurface::operator=(BitmapSurface&& other) noexcept {
    if (this != &other) {
        release();
        dc_ = std::exchange(other.dc_, nullptr);
        bitmap_ = std::exchange(other.bitmap_, nullptr);
        previous_ = std::exchange(other.previous_, nullptr);
        pixels_ = std::exchange(other.pixels_, nullptr);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
    }
    return *this;
}

void BitmapSurface::release() {
    // A bitmap still selected into a device context cannot be deleted.
    if (dc_ && previous_)
        SelectObject(dc_, previous_);
    if (bitmap_)
        DeleteObject(bitmap_);
    if (dc_)
        DeleteDC(dc_);
    dc_ = nullptr;
    bitmap_ = nullptr;
    previous_ = nullptr;
    pixels_ = nullptr;
}

HDC BackBuffer::prepare(std::int32_t width, std::int32_t height) {
    // A minimized window has no area; keep one pixel to draw into.
    width = width < 1 ? 1 : width;
    height = height < 1 ? 1 : height;
    if (!surface_.dc() || surface_.width() != width || surface_.height() != height) {
        surface_ = BitmapSurface();
        surface_ = BitmapSurface(width, height);
    }
    return surface_.dc();
}

void BackBuffer::present(HDC target, const RECT& area) const {
    BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, surface_.dc(), area.left,
           area.top, SRCCOPY);
}

} // namespace ui
