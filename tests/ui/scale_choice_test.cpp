#include "ui/scale_choice.h"

#include "app/sample_store.h"

#include <gtest/gtest.h>

namespace {

TEST(ScaleChoiceTest, EveryListedTextFindsItsScaleAndNothingElseFindsOne) {
    const std::vector<cpp::String> texts = ui::scaleTexts();
    const std::vector<cpp::Duration> scales = ScaleBuckets::scales();
    ASSERT_EQ(texts.size(), scales.size());
    EXPECT_EQ(texts.front(), "1 second");
    EXPECT_EQ(texts.back(), "1 day");
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(ui::scaleByText(texts[i]), scales[i]) << texts[i];
    for (const char* text : {"", "1 secon", "1 second ", "1 Second", "2 seconds"})
        EXPECT_EQ(ui::scaleByText(text), std::nullopt) << text;
}

} // namespace
