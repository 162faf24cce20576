#include "ui/scale_choice.h"

#include "app/sample_store.h"

namespace ui {

std::vector<cpp::String> scaleTexts() {
    std::vector<cpp::String> texts;
    for (const cpp::Duration& scale : SampleStore::scales()) {
        texts.push_back(scale.text());
    }
    return texts;
}

std::optional<cpp::Duration> scaleByText(const cpp::String& text) {
    for (const cpp::Duration& scale : SampleStore::scales()) {
        if (scale.text() == text) {
            return scale;
        }
    }
    return std::nullopt;
}

} // namespace ui
