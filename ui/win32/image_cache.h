#pragma once

#include "cpp/win32/unique_handle.h"

#include <windows.h>

#include <cstdint>
#include <map>

namespace ui {

// PNG resources of the program's own module, decoded once to 32-bit
// premultiplied top-down bitmaps, by resource id. Every bitmap is deleted
// with the cache.
class ImageCache {
public:
    explicit ImageCache(HMODULE module = nullptr);
    ~ImageCache();
    ImageCache(const ImageCache&) = delete;
    ImageCache& operator=(const ImageCache&) = delete;

    // Decodes the "PNG" resource id and stores it, replacing an earlier one.
    // Throws cpp::windows::Exception when it is missing or cannot be decoded.
    void load(std::int32_t id);
    // The bitmap, or null for an id that was never loaded.
    HBITMAP byId(std::int32_t id);

private:
    HMODULE module_;
    std::map<std::int32_t, cpp::windows::BitmapHandle> bitmaps_;
};

} // namespace ui
