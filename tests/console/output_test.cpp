#include "console_fixture.h"

namespace tavik::test {
namespace {

using Output = ConsoleTest;

TEST_F(Output, ControlCodesMoveWithoutWriting) {
    const char16_t text[] = {u'A', u'B', 13, 10, u'C', 0};
    console.putString(text);
    EXPECT_EQ(rowText(0).substr(0, 3), u"AB ");
    EXPECT_EQ(rowText(1).substr(0, 2), u"C ");
    expectCursor(1, 1);

    console.putString(u"\a");
    expectCursor(1, 1);
    EXPECT_EQ(view.count("beep"), 1);
    EXPECT_EQ(rowText(1).substr(0, 2), u"C ");
}

TEST_F(Output, WrapJoinsRowsIntoOneLogicalLine) {
    console.locate(0, 3);
    console.putString(u"ABCDEFGHIJKLMNOPQRSTUVWXY");
    EXPECT_EQ(rowText(3), u"ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(rowText(4).substr(0, 6), u"UVWXY ");
    EXPECT_EQ(continues(3), 1);
    EXPECT_EQ(continues(4), 0);
    expectCursor(5, 4);
    EXPECT_EQ(damage(), "3:0-20 4:0-5");
    EXPECT_EQ(view.count("damaged"), 25);
}

TEST_F(Output, WrapAtRegionBottomScrollsFlagWithItsRow) {
    console.locate(0, 0);
    console.putString(u"top");
    console.locate(0, 19);
    ConsolePeer(console).caretRow = 19;
    console.takeDamage();
    console.putString(u"ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(rowText(18), u"ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(continues(18), 1);
    EXPECT_EQ(rowText(19), blankRow());
    EXPECT_EQ(continues(19), 0);
    EXPECT_EQ(rowText(0).substr(0, 3), u"   "); // row 1 moved up into it
    expectCursor(0, 19);
    EXPECT_EQ(console.caretRow(), 18);
    EXPECT_EQ(damage(), wholeRows(0, 19)); // the whole region scrolled
}

TEST_F(Output, LineFeedScrollsOnlyTheRegion) {
    console.locate(0, 6);
    console.putString(u"six");
    console.locate(0, 17);
    console.putString(u"below");
    console.setScrollRegion(5, 10);
    console.locate(0, 17);
    console.takeDamage();
    console.putString(u"\n");
    expectCursor(0, 14);
    EXPECT_EQ(rowText(5).substr(0, 3), u"six");
    EXPECT_EQ(rowText(6), blankRow());
    EXPECT_EQ(rowText(17).substr(0, 5), u"below");
    EXPECT_EQ(damage(), wholeRows(5, 14));

    // Above the region a line feed only moves down.
    console.locate(0, 2);
    view.forget();
    console.putString(u"\n");
    expectCursor(0, 3);
    EXPECT_EQ(damage(), "");
}

TEST_F(Output, TabGoesToNextStopOrNewLine) {
    const std::pair<int, int> stops[] = {{0, 8}, {8, 16}, {7, 8}, {11, 16}};
    for (auto [from, to] : stops) {
        console.locate(from, 2);
        console.tabForward();
        expectCursor(to, 2);
    }
    for (int from : {12, 13, 19}) {
        console.locate(from, 2);
        console.putString(u"\t");
        expectCursor(0, 3);
    }
    EXPECT_EQ(continues(2), 0);
}

TEST_F(Output, BackspaceBlanksThePreviousCell) {
    console.putString(u"AB\b");
    expectCursor(1, 0);
    EXPECT_EQ(console.peekCell(1, 0), 0x20);
    console.locate(0, 0);
    console.putString(u"\b");
    expectCursor(0, 0);
    EXPECT_EQ(console.peekCell(0, 0), u'A');

    // Row 4 was not continued before: the step back over its end marks it.
    console.locate(18, 4);
    console.putString(u"Z");
    console.locate(0, 5);
    ASSERT_EQ(continues(4), 0);
    console.putString(u"\b");
    expectCursor(19, 4);
    EXPECT_EQ(console.peekCell(19, 4), 0x20);
    EXPECT_EQ(continues(4), 1);
    EXPECT_EQ(rowText(4).substr(18), u"Z ");
}

TEST_F(Output, BackspaceOntoTheRegionsLastColumnScrollsIt) {
    // The blank is written at the last column of the region's last row, which takes a new line there.
    console.setScrollRegion(2, 3);
    console.locate(0, 2);
    console.putString(u"A\nB\nC");
    console.locate(0, 5);
    console.takeDamage();
    console.putString(u"\b");
    expectCursor(19, 4);
    EXPECT_EQ(damage(), wholeRows(2, 4)); // the blank's cell, then the scroll
    EXPECT_EQ(console.peekCell(0, 2), u'B');
    EXPECT_EQ(console.peekCell(0, 3), u'C');
    EXPECT_EQ(console.peekCell(0, 4), 0x20);
    EXPECT_EQ(continues(3), 1); // the continued row moved up with the scroll
    EXPECT_EQ(continues(4), 0);
}

TEST_F(Output, ProtectedStringMarksOnlyItsPrintedCells) {
    console.putProtectedString(u"AB\bC\tD\r");
    EXPECT_EQ(rowText(0).substr(0, 9), u"AC      D");
    EXPECT_TRUE(isProtected(0, 0));
    EXPECT_TRUE(isProtected(1, 0));
    for (int c = 2; c < 8; ++c) EXPECT_FALSE(isProtected(c, 0)) << c;
    EXPECT_TRUE(isProtected(8, 0));
    EXPECT_FALSE(isProtected(9, 0));
    console.putProtectedString(u"\b");
    EXPECT_FALSE(isProtected(8, 0));
}

TEST_F(Output, TextUnderThePlaneIsStoredNotDrawn) {
    ASSERT_TRUE(console.openPlane(4, 16, 16));
    console.locate(0, 2);
    console.takeDamage();
    view.forget();
    console.putString(u"Z");
    EXPECT_EQ(console.peekCell(0, 2), u'Z');
    EXPECT_EQ(view.count("damaged"), 0); // recorded, but no repaint is asked for
    EXPECT_FALSE(console.geometry().textRow(2));
    console.locate(0, 4);
    console.putString(u"Y");
    EXPECT_EQ(view.count("damaged"), 1);
    EXPECT_EQ(damage(), "2:0-1 4:0-1");
}

TEST_F(Output, TranscriptShowsWhatWasGivenNotHowItWrapped) {
    console.putString(u"ABCDEFGHIJKLMNOPQRSTUV\r\nx");
    console.newLine();
    console.putString(u"ab\tc\a\bd");
    console.locate(14, 5);
    console.tabForward();
    EXPECT_EQ(view.transcript, u"ABCDEFGHIJKLMNOPQRSTUV\nx\nab      c\bd\n");

    // Typed text: every unit a plain cell, a tab stored as it is; the caller ends the line.
    view.forget();
    console.locate(0, 8);
    console.echoTyped(u"1\t2\b");
    EXPECT_EQ(view.transcript, u"1\t2\b");
    EXPECT_EQ(rowText(8).substr(0, 5), u"1\t2\b ");
    expectCursor(4, 8);
}

} // namespace
} // namespace tavik::test
