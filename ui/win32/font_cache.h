#pragma once

#include "cpp/string.h"
#include "cpp/win32/unique_handle.h"
#include "ui/dpi.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>

namespace ui {

// A font handle that deletes its font with the last copy; may hold none, and
// a control given none draws with the system font.
class Font {
public:
    Font() = default;
    explicit Font(HFONT handle) : handle_(handle) {}

    HFONT handle() const { return handle_.get(); }

private:
    cpp::windows::FontHandle handle_;
};

// Fonts by name and DPI. Looking up a name that was never created inserts an
// empty font, so a missing font is never an error.
class FontCache {
public:
    // Stores the font under name, replacing any earlier one; its height is
    // the one at 96 DPI (a size in points, times 96 / 72), and each DPI it
    // is asked for gets it made at that DPI's height.
    void create(const cpp::String& name, const LOGFONTW& description);
    std::shared_ptr<Font> byName(const cpp::String& name, const Dpi& dpi = {});

private:
    std::map<cpp::String, LOGFONTW> descriptions_;
    std::map<std::pair<cpp::String, std::int32_t>, std::shared_ptr<Font>> fonts_;
};

} // namespace ui
