#include "ui/host_row.h"

#include <gtest/gtest.h>

namespace {

TEST(HostRowTest, ImageAndTextForEveryKindOfValue) {
    struct Case {
        bool active;
        std::int32_t value;
        ui::StatusImage image;
        const char* text;
    };
    for (const Case& c : {Case{true, 0, ui::statusFast, "0"}, Case{true, 24, ui::statusFast, "24"},
                          Case{true, 25, ui::statusGood, "25"}, Case{true, 49, ui::statusGood, "49"},
                          Case{true, 50, ui::statusFair, "50"}, Case{true, 99, ui::statusFair, "99"},
                          Case{true, 100, ui::statusLate, "100"}, Case{true, 249, ui::statusLate, "249"},
                          Case{true, 250, ui::statusSlow, "250"}, Case{true, INT32_MAX, ui::statusSlow, "2147483647"},
                          // Any loss, however many in a row, and a disabled host whatever its last value.
                          Case{true, -1, ui::statusLost, "-"}, Case{true, -40, ui::statusLost, "-"},
                          Case{false, -3, ui::statusDisabled, "-"}, Case{false, 24, ui::statusDisabled, "-"},
                          Case{false, 300, ui::statusDisabled, "-"}}) {
        SCOPED_TRACE(testing::Message() << c.active << " " << c.value);
        EXPECT_EQ(ui::statusImage(c.active, c.value), c.image);
        EXPECT_EQ(ui::pingText(c.active, c.value), c.text);
    }
}

} // namespace
