#include "ui/close_cross.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

namespace {

using Pixels = std::set<std::pair<int, int>>;

// Every pixel the runs cover; a pixel covered twice, or a run not one
// pixel high, fails the test.
Pixels filled(const std::vector<ui::Rect>& runs) {
    Pixels pixels;
    for (const ui::Rect& run : runs) {
        EXPECT_EQ(run.height(), 1);
        EXPECT_GT(run.width(), 0);
        for (int x = run.left; x < run.right; ++x)
            EXPECT_TRUE(pixels.insert({x, run.top}).second) << "pixel " << x << "," << run.top << " twice";
    }
    return pixels;
}

std::string picture(const Pixels& pixels, const ui::Rect& box) {
    std::string text;
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left; x < box.right; ++x)
            text += pixels.count({x, y}) ? '#' : '.';
        text += '\n';
    }
    return text;
}

TEST(CloseCrossTest, At96DpiItIsTheCrossOfTheSixteenPixelImage) {
    // The notice's button at 96 DPI: 18 pixels with a 2-pixel edge, so a
    // 14-pixel face; the 16-pixel image centred on the same button put its
    // cross on these pixels.
    const ui::Rect face{2, 2, 16, 16};
    EXPECT_EQ(picture(filled(ui::closeCrossRuns(face, ui::Dpi{})), {4, 4, 14, 14}),
              "##......##\n"
              ".##....##.\n"
              "..##..##..\n"
              "...####...\n"
              "....##....\n"
              "...####...\n"
              "..##..##..\n"
              ".##....##.\n"
              "##......##\n"
              "#........#\n");
}

TEST(CloseCrossTest, ScalesWithTheDpiCentredOnTheFaceAndMirrored) {
    for (const int value : {96, 120, 144, 192}) {
        SCOPED_TRACE(value);
        const ui::Dpi dpi{value};
        const int extent = dpi(10);
        const int stroke = dpi(2);
        // A face larger than the cross, at an odd offset, with room left
        // over of both parities.
        const ui::Rect face{7, 3, 7 + extent + 9, 3 + extent + 4};
        const Pixels pixels = filled(ui::closeCrossRuns(face, dpi));
        const int left = face.left + 9 / 2;
        const int top = face.top + 4 / 2;
        int minX = face.right, maxX = face.left, minY = face.bottom, maxY = face.top;
        for (const auto& [x, y] : pixels) {
            minX = std::min(minX, x), maxX = std::max(maxX, x);
            minY = std::min(minY, y), maxY = std::max(maxY, y);
            // Mirrored left to right about the cross's middle.
            EXPECT_TRUE(pixels.count({2 * left + extent - 1 - x, y})) << x << "," << y;
        }
        EXPECT_EQ(minX, left);
        EXPECT_EQ(maxX, left + extent - 1);
        EXPECT_EQ(minY, top);
        EXPECT_EQ(maxY, top + extent - 1);
        // The strokes are drawn as wide as the DPI makes them: the top row
        // holds two of them apart, the middle one both run together.
        int topRow = 0;
        for (int x = left; x < left + extent; ++x)
            topRow += static_cast<int>(pixels.count({x, top}));
        EXPECT_EQ(topRow, 2 * stroke);
        EXPECT_FALSE(pixels.count({left + stroke, top}));
        EXPECT_TRUE(pixels.count({left + extent / 2, top + extent / 2}));
        // The diagonal itself is never broken.
        for (int row = 0; row < extent; ++row)
            EXPECT_TRUE(pixels.count({left + row, top + row})) << row;
    }
}

TEST(CloseCrossTest, ShrinksIntoAFaceTooSmallAndDrawsNothingWithoutOne) {
    struct Case {
        ui::Rect face;
        int extent;
    };
    for (const Case& c : {Case{{0, 0, 4, 30}, 4}, Case{{5, 5, 40, 6}, 1}, Case{{0, 0, 0, 0}, 0},
                          Case{{10, 10, 5, 20}, 0}, Case{{3, 3, 3, 40}, 0}}) {
        SCOPED_TRACE(testing::Message() << c.face.left << "," << c.face.top << "," << c.face.right << ","
                                        << c.face.bottom);
        const Pixels pixels = filled(ui::closeCrossRuns(c.face, ui::Dpi{192}));
        EXPECT_EQ(pixels.empty(), c.extent == 0);
        for (const auto& [x, y] : pixels) {
            EXPECT_TRUE(x >= c.face.left && x < c.face.right && y >= c.face.top && y < c.face.bottom)
                << x << "," << y;
        }
    }
}

} // namespace
