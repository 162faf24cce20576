#pragma once

#include "cpp/string.h"

#include <windows.h>

#include <map>
#include <memory>

namespace ui {

// A font handle that deletes its font with the last copy; may hold none, and
// a control given none draws with the system font.
class Font {
public:
    Font() = default;
    explicit Font(HFONT handle);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    HFONT handle() const { return handle_; }

private:
    HFONT handle_ = nullptr;
};

// Fonts by name. Looking up a name that was never created inserts an empty
// font, so a missing font is never an error.
class FontCache {
public:
    // Creates the font and stores it under name, replacing any earlier one.
    void create(const cpp::String& name, const LOGFONTW& description);
    std::shared_ptr<Font> byName(const cpp::String& name);

private:
    std::map<cpp::String, std::shared_ptr<Font>> fonts_;
};

} // namespace ui
