#include "console_fixture.h"

namespace tavik::test {
namespace {

using ScreenModel = ConsoleTest;

TEST_F(ScreenModel, PeekCellReadsOnlyCellsInUse) {
    EXPECT_EQ(console.peekCell(-1, 0), 0xFFFF);
    EXPECT_EQ(console.peekCell(20, 0), 0xFFFF);
    EXPECT_EQ(console.peekCell(0, 20), 0xFFFF);
    EXPECT_EQ(console.peekCell(19, 19), 0x20);
}

TEST_F(ScreenModel, LocateClampsToGridAndRegionPullsCursorIn) {
    console.locate(200, -5);
    expectCursor(19, 0);

    console.locate(4, 2);
    console.setScrollRegion(5, 10);
    expectCursor(0, 5);

    console.setScrollRegion(0, 20);
    console.locate(4, 17);
    console.setScrollRegion(5, 10);
    expectCursor(0, 14);

    console.setScrollRegion(0, 20);
    console.locate(3, 8);
    console.setScrollRegion(5, 10);
    expectCursor(3, 8);
}

TEST_F(ScreenModel, ClearScreenBlanksEveryRowAndEmptiesInputLine) {
    for (int row : {0, 4, 15, 19}) {
        console.locate(3, row);
        console.putString(u"X");
    }
    console.setInputLine(u"Q");
    console.setScrollRegion(5, 10);
    view.forget();
    console.clearScreen();
    expectCursor(0, 5);
    EXPECT_EQ(console.inputLine()[0], 0);
    for (int row = 0; row < 20; ++row) EXPECT_EQ(rowText(row), blankRow()) << "row " << row;
    EXPECT_EQ(view.count("damaged"), 1);
    EXPECT_EQ(damage().substr(0, 3), "all");
}

TEST_F(ScreenModel, ColoursGoToCellsWrittenOrClearedFromNowOn) {
    console.putString(u"A");
    console.setBackground(0x0000FF);
    EXPECT_EQ(console.screen().cellBack[TextScreen::cellIndex(0, 0)], 0xFFFFFFu);
    console.clearScreen();
    for (int c = 0; c < 20; ++c) {
        for (int r = 0; r < 20; ++r) {
            ASSERT_EQ(console.screen().cellBack[TextScreen::cellIndex(c, r)], 0x0000FFu);
            ASSERT_EQ(console.peekCell(c, r), 0x20);
        }
    }
}

TEST(ScreenSize, WidthWithFontZeroUsesDefaultHeight) {
    FakeView view(240, 320);
    Console console(view);
    console.putString(u"junk");
    console.setConsoleSize(10, 10, 0);
    EXPECT_EQ(console.screen().fontHeight, 8);
    EXPECT_EQ(console.screen().cellWidth, 8);
    EXPECT_EQ(console.screen().columns * 100 + console.rowCount(), 10 * 100 + 10);
    EXPECT_EQ(console.screen().scrollHeight, 10);
    EXPECT_EQ(console.cursorColumn() + console.cursorRow(), 0);
    EXPECT_EQ(console.peekCell(0, 0), 0x20);
}

TEST(ScreenSize, ResetRestoresColoursFontAndSquareGrid) {
    FakeView view(240, 320, PixelRect{0, 0, 240, 268});
    Console console(view);
    console.setForeground(0x123456);
    console.setBackground(0x654321);
    console.setConsoleSize(30, 40, 24);
    console.setScrollRegion(3, 5);
    console.resetConsole();
    EXPECT_EQ(console.screen().fontHeight, 16);
    EXPECT_EQ(view.measuredHeights.back(), 16);
    EXPECT_EQ(console.screen().foreground, 0x000000u);
    EXPECT_EQ(console.screen().background, 0xFFFFFFu);
    EXPECT_EQ(console.screen().columns, 188 / 16);
    EXPECT_EQ(console.screen().rows, 188 / 16);
    EXPECT_EQ(console.screen().scrollTop + console.screen().scrollHeight, 188 / 16);
}

TEST(ScreenSize, FitKeepsCountsWithinTheGrid) {
    FakeView view;
    Console console(view);
    console.fitConsole(5000, 3000, 16);
    EXPECT_EQ(console.screen().columns, 100);
    EXPECT_EQ(console.screen().rows, 100);
    console.fitConsole(4, 40, 16);
    EXPECT_EQ(console.screen().columns, 1);
    EXPECT_EQ(console.screen().rows, 2);
    // A font that measures as nothing must not divide by zero.
    view.fixedCell = {1, 0};
    console.fitConsole(50, 50, 16);
    EXPECT_EQ(console.screen().rows, 50);
}

} // namespace
} // namespace tavik::test
