#include "ui/ping_colour.h"

#include "ui/graph_printers.h"

#include <gtest/gtest.h>

namespace {

using ui::Colour;
using ui::pingColour;

TEST(PingColourTest, BandEdgesTakeTheirOwnColour) {
    EXPECT_EQ(pingColour(0), (Colour{160, 208, 112}));
    EXPECT_EQ(pingColour(19), (Colour{160, 208, 112}));
    EXPECT_EQ(pingColour(20), (Colour{160, 208, 112}));
    EXPECT_EQ(pingColour(50), (Colour{224, 208, 112}));
    EXPECT_EQ(pingColour(250), (Colour{224, 48, 32}));
    EXPECT_EQ(pingColour(100000), (Colour{224, 48, 32}));
}

TEST(PingColourTest, RampsTruncateTheirFractions) {
    // Red rises from green to yellow, then green and blue fall to red.
    EXPECT_EQ(pingColour(21), (Colour{162, 208, 112}));
    EXPECT_EQ(pingColour(49), (Colour{221, 208, 112}));
    EXPECT_EQ(pingColour(51), (Colour{224, 208, 112}));
    EXPECT_EQ(pingColour(150), (Colour{224, 128, 72}));
    EXPECT_EQ(pingColour(249), (Colour{224, 49, 33}));
    EXPECT_EQ(pingColour(30).withAlpha(160), (Colour{181, 208, 112, 160}));
}

} // namespace
