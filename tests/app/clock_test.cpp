#include "app/clock.h"

#include <gtest/gtest.h>

namespace {

TEST(ClockTest, SystemMidnightStartsTheLocalDay) {
    const auto clock = systemClock();
    const cpp::DateTime now = clock->now();
    const cpp::DateTime midnight = clock->midnight(now);
    const std::tm fields = cpp::Date(midnight).fields();
    EXPECT_EQ(fields.tm_hour, 0);
    EXPECT_EQ(fields.tm_min, 0);
    EXPECT_EQ(fields.tm_sec, 0);
    EXPECT_EQ(fields.tm_mday, cpp::Date(now).fields().tm_mday);
    EXPECT_LE(midnight, now);
    EXPECT_EQ(clock->midnight(midnight), midnight);
}

} // namespace
