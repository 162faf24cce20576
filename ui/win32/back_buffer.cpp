#include "ui/win32/back_buffer.h"

#include "cpp/win32/windows_exception.h"

namespace ui {

BitmapSurface::BitmapSurface(std::int32_t width, std::int32_t height)
    : dc_(CreateCompatibleDC(nullptr)), width_(width), height_(height) {
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
    bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap_)
        throw cpp::windows::Exception();
    pixels_ = static_cast<std::uint32_t*>(bits);
    selected_ = cpp::windows::SelectedObject(dc_.get(), bitmap_.get());
}

HDC BackBuffer::prepare(std::int32_t width, std::int32_t height) {
    // A minimized window has no area; keep one pixel to draw into.
    width = width < 1 ? 1 : width;
    height = height < 1 ? 1 : height;
    if (!surface_ || surface_->width() != width || surface_->height() != height) {
        // The old one goes first, so two never hold memory at once.
        surface_.reset();
        surface_.emplace(width, height);
    }
    return surface_->dc();
}

void BackBuffer::present(HDC target, const RECT& area) const {
    BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, surface_ ? surface_->dc() : nullptr, area.left,
           area.top, SRCCOPY);
}

} // namespace ui
