#include "caret.h"

#include "console/console_fixture.h"

namespace tavik::test {
namespace {

using CaretTest = ConsoleTest;

TEST_F(CaretTest, BlinksAtTheCursorAndFollowsIt) {
    console.setCursor(3, 4);
    placeCaret(console);
    EXPECT_EQ(view.count("drawCell"), 0); // first shown at the first tick
    caretTick(console);
    EXPECT_EQ(console.caretOn, 1);
    EXPECT_EQ(view.count("drawCell 3 4"), 1);
    EXPECT_EQ(view.count("repaintNow"), 1);
    caretTick(console);
    EXPECT_EQ(console.caretOn, 0);

    // Moved while off: the old cell is redrawn plain, then the caret shows at the new one.
    caretTick(console);
    view.forget();
    console.setCursor(5, 4);
    caretTick(console);
    EXPECT_EQ(console.caretOn, 1);
    EXPECT_EQ(console.caretColumn, 5);
    ASSERT_EQ(view.events.size(), 4u);
    EXPECT_EQ(view.events[0], "drawCell 3 4");
    EXPECT_EQ(view.events[2], "drawCell 5 4");

    hideCaret(console);
    EXPECT_EQ(console.caretOn, 0);
    EXPECT_EQ(view.count("drawCell 5 4"), 2);
}

TEST_F(CaretTest, ScrollsWithTheTextAndVanishesOffTheTopOrUnderThePlane) {
    console.setCursor(0, 1);
    placeCaret(console);
    console.scrollUp();
    EXPECT_EQ(console.caretRow, 0);
    console.scrollUp();
    EXPECT_EQ(console.caretRow, -1);
    view.forget();
    redrawCaretCell(console);
    EXPECT_TRUE(view.events.empty());

    ASSERT_TRUE(console.openPlane(2, 8, 8));
    console.caretColumn = 0;
    console.caretRow = 1;
    view.forget();
    redrawCaretCell(console);
    EXPECT_TRUE(view.events.empty());
}

} // namespace
} // namespace tavik::test
