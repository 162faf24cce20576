#include "ui/host_row.h"

#include <gtest/gtest.h>

namespace {

TEST(HostRowTest, ReplyTimesPickTheImageAtEachBoundary) {
    EXPECT_EQ(ui::statusImage(true, 0), ui::statusFast);
    EXPECT_EQ(ui::statusImage(true, 24), ui::statusFast);
    EXPECT_EQ(ui::statusImage(true, 25), ui::statusGood);
    EXPECT_EQ(ui::statusImage(true, 49), ui::statusGood);
    EXPECT_EQ(ui::statusImage(true, 50), ui::statusFair);
    EXPECT_EQ(ui::statusImage(true, 99), ui::statusFair);
    EXPECT_EQ(ui::statusImage(true, 100), ui::statusLate);
    EXPECT_EQ(ui::statusImage(true, 249), ui::statusLate);
    EXPECT_EQ(ui::statusImage(true, 250), ui::statusSlow);
    EXPECT_EQ(ui::statusImage(true, INT32_MAX), ui::statusSlow);
    // The numbers are the image list's indices.
    EXPECT_EQ(ui::statusImage(true, 25), 4);
    EXPECT_EQ(ui::statusImage(true, 250), 1);
}

TEST(HostRowTest, ALostPingShowsTheLostImageAndADash) {
    for (const std::int32_t value : {-1, -2, -40}) {
        EXPECT_EQ(ui::statusImage(true, value), ui::statusLost);
        EXPECT_EQ(ui::pingText(true, value), "-");
    }
    EXPECT_EQ(ui::statusImage(true, -1), 6);
}

TEST(HostRowTest, ADisabledHostShowsTheHollowImageAndADashWhateverItsLastValue) {
    for (const std::int32_t value : {-3, 0, 24, 300}) {
        EXPECT_EQ(ui::statusImage(false, value), ui::statusDisabled);
        EXPECT_EQ(ui::pingText(false, value), "-");
    }
}

TEST(HostRowTest, PingTextIsTheReplyTimeInDecimal) {
    EXPECT_EQ(ui::pingText(true, 0), "0");
    EXPECT_EQ(ui::pingText(true, 24), "24");
    EXPECT_EQ(ui::pingText(true, 1234), "1234");
}

} // namespace
