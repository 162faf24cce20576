#include "ui/ping_colour.h"

#include "ui/graph_printers.h"

#include <gtest/gtest.h>

namespace {

using ui::Colour;

TEST(PingColourTest, BandsAndTruncatedRamps) {
    // Green up to 20 ms, red rising to yellow at 50, then green and blue
    // falling to red at 250; fractions are cut off.
    const std::pair<std::int32_t, Colour> cases[] = {
        {0, {160, 208, 112}},   {20, {160, 208, 112}},  {21, {162, 208, 112}},     {49, {221, 208, 112}},
        {50, {224, 208, 112}},  {51, {224, 208, 112}},  {150, {224, 128, 72}},     {249, {224, 49, 33}},
        {250, {224, 48, 32}},   {100000, {224, 48, 32}}};
    for (const auto& [ms, colour] : cases)
        EXPECT_EQ(ui::pingColour(ms), colour) << ms;
    EXPECT_EQ(ui::pingColour(30).withAlpha(160), (Colour{181, 208, 112, 160}));
}

} // namespace
