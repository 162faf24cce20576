#include "ui/win32/font_cache.h"

#include <iterator>

namespace ui {

void FontCache::create(const cpp::String& name, const LOGFONTW& description) {
    descriptions_[name] = description;
    for (auto made = fonts_.begin(); made != fonts_.end();)
        made = made->first.first == name ? fonts_.erase(made) : std::next(made);
    byName(name);
}

std::shared_ptr<Font> FontCache::byName(const cpp::String& name, const Dpi& dpi) {
    auto& font = fonts_[{name, dpi.value}];
    if (font)
        return font;
    const auto description = descriptions_.find(name);
    if (description == descriptions_.end()) {
        font = std::make_shared<Font>();
        return font;
    }
    LOGFONTW scaled = description->second;
    scaled.lfHeight = dpi(scaled.lfHeight);
    scaled.lfWidth = dpi(scaled.lfWidth);
    // An empty font where the system refuses one: controls then use the
    // system font, as for a name never created.
    font = std::make_shared<Font>(CreateFontIndirectW(&scaled));
    return font;
}

} // namespace ui
