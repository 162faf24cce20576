#include "ui/scale_choice.h"

#include "app/scale_buckets.h"

namespace ui {

std::vector<cpp::String> scaleTexts() {
    std::vector<cpp::String> texts;
    for (const cpp::Duration& scale : ScaleBuckets::scales()) {
        texts.push_back(scale.text());
    }
    return texts;
}

std::optional<cpp::Duration> scaleByText(const cpp::String& text) {
    for (const cpp::Duration& scale : ScaleBuckets::scales()) {
        if (scale.text() == text) {
            return scale;
        }
    }
    return std::nullopt;
}

} // namespace ui
