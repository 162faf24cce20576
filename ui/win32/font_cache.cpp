#include "ui/win32/font_cache.h"

namespace ui {

Font::Font(HFONT handle) : handle_(handle) {}

Font::~Font() {
    if (handle_) {
        DeleteObject(handle_);
    }
}

void FontCache::create(const cpp::String& name, const LOGFONTW& description) {
    // An empty font where the system refuses one: controls then use the
    // system font, as for a name never created.
    fonts_[name] = std::make_shared<Font>(CreateFontIndirectW(&description));
}

std::shared_ptr<Font> FontCache::byName(const cpp::String& name) {
    auto& font = fonts_[name];
    if (!font) {
        font = std::make_shared<Font>();
    }
    return font;
}

} // namespace ui
