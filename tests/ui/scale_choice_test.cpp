#include "ui/scale_choice.h"

#include "app/sample_store.h"

#include <gtest/gtest.h>

namespace {

TEST(ScaleChoiceTest, ListsEveryScaleSmallestFirst) {
    const std::vector<cpp::String> texts = ui::scaleTexts();
    ASSERT_EQ(texts.size(), SampleStore::scales().size());
    EXPECT_EQ(texts.front(), "1 second");
    EXPECT_EQ(texts[4], "1 minute");
    EXPECT_EQ(texts.back(), "1 day");
}

TEST(ScaleChoiceTest, FindsAScaleByItsExactText) {
    for (const cpp::Duration& scale : SampleStore::scales()) {
        EXPECT_EQ(ui::scaleByText(scale.text()), scale);
    }
}

TEST(ScaleChoiceTest, TextThatIsNotExactlyAScaleFindsNothing) {
    EXPECT_EQ(ui::scaleByText(""), std::nullopt);
    EXPECT_EQ(ui::scaleByText("1 secon"), std::nullopt);
    EXPECT_EQ(ui::scaleByText("1 second "), std::nullopt);
    EXPECT_EQ(ui::scaleByText("1 Second"), std::nullopt);
    EXPECT_EQ(ui::scaleByText("2 seconds"), std::nullopt);
}

} // namespace
