#include "ui/layout.h"

#include <gtest/gtest.h>

namespace {

TEST(LayoutTest, SplitterPutsItsBarAtThePositionAndCutsTheRightPaneFirstThenTheBar) {
    ui::SplitPanes panes = ui::splitSideBySide({0, 0, 500, 300}, 160, 4);
    EXPECT_EQ(panes.left, (ui::Rect{0, 0, 160, 300}));
    EXPECT_EQ(panes.bar, (ui::Rect{160, 0, 164, 300}));
    EXPECT_EQ(panes.right, (ui::Rect{164, 0, 500, 300}));

    panes = ui::splitSideBySide({0, 0, 162, 50}, 160, 4);
    EXPECT_EQ(panes.left, (ui::Rect{0, 0, 160, 50}));
    EXPECT_EQ(panes.bar, (ui::Rect{160, 0, 162, 50}));
    EXPECT_EQ(panes.right.width(), 0);

    panes = ui::splitSideBySide({0, 0, 100, 50}, 160, 4);
    EXPECT_EQ(panes.left, (ui::Rect{0, 0, 100, 50}));
    EXPECT_EQ(panes.bar.width(), 0);
    EXPECT_EQ(panes.right.width(), 0);
}

TEST(LayoutTest, ControlsMoveOrGrowWithTheClientSize) {
    const ui::Rect button{300, 10, 350, 30};
    EXPECT_EQ(ui::followResize(button, ui::resizeNone, 40, 20), button);
    EXPECT_EQ(ui::followResize(button, ui::moveX, 40, 20), (ui::Rect{340, 10, 390, 30}));
    EXPECT_EQ(ui::followResize(button, ui::moveY, 40, 20), (ui::Rect{300, 30, 350, 50}));
    EXPECT_EQ(ui::followResize(button, ui::growX | ui::growY, 40, 20), (ui::Rect{300, 10, 390, 50}));
    // Shrinking below the first size never turns a control inside out.
    EXPECT_EQ(ui::followResize(button, ui::growX | ui::growY, -80, -30), (ui::Rect{300, 10, 300, 10}));
}

TEST(LayoutTest, TheMainSplitterStartsBelowTheAddButtonWithItsMargins) {
    // The Add Address button at 7, 6 dialog units, 53 x 16, in pixels.
    const ui::Rect client{0, 0, 618, 326};
    const ui::Rect button{14, 10, 120, 36};
    EXPECT_EQ(ui::splitterArea(client, button), (ui::Rect{14, 40, 604, 316}));
    // A client smaller than the margins gives an empty area, not a negative one.
    const ui::Rect tiny = ui::splitterArea({0, 0, 20, 30}, button);
    EXPECT_EQ(tiny.width(), 0);
    EXPECT_EQ(tiny.height(), 0);
}

} // namespace
