#include "line_editor.h"

#include "console/console_fixture.h"

#include <string>

namespace tavik::test {
namespace {

// A 5 x 3 grid, blank, cursor at (0, 0). Rows are written as five characters, '.' standing for a blank.
class LineEditorTest : public ConsoleTest {
  protected:
    void SetUp() override {
        console.setConsoleSize(5, 3, 16);
        view.forget();
    }
    void setRow(int row, const std::u16string& text, bool joined = false) {
        for (int c = 0; c < static_cast<int>(text.size()); ++c)
            console.screen.cellChar[TextScreen::cellIndex(c, row)] = text[c] == u'.' ? u' ' : text[c];
        console.screen.rowContinues[row] = joined ? 1 : 0;
    }
    std::u16string row(int r) const {
        std::u16string text = rowText(r);
        for (auto& c : text)
            if (c == u' ') c = u'.';
        return text;
    }
    void type(const std::u16string& text) {
        for (char16_t c : text) editor.editKey(c);
    }
    std::u16string submitted() const { return console.inputLine; }

    LineEditor editor{console};
};

TEST_F(LineEditorTest, InsertReflowsAndGrowsTheLogicalLine) {
    // Joined rows reflow.
    setRow(0, u"ABCDE", true);
    setRow(1, u"FG...");
    console.setCursor(1, 0);
    type(u"x");
    EXPECT_EQ(row(0), u"AxBCD");
    EXPECT_EQ(row(1), u"EFG..");
    expectCursor(2, 0);
    EXPECT_EQ(continues(0), 1);
    EXPECT_EQ(view.count("invalidateRows 0 1"), 1);

    // A full last row takes the row below, whose text is lost.
    setRow(0, u"ABCDE");
    setRow(1, u"XYZ..");
    console.setCursor(1, 0);
    type(u"x");
    EXPECT_EQ(row(0), u"AxBCD");
    EXPECT_EQ(row(1), u"E....");
    EXPECT_EQ(continues(0), 1);

    // Filling the last cell but one grows the line first.
    setRow(0, u"ABCD.");
    setRow(1, u"XYZ..");
    console.setCursor(4, 0);
    type(u"E");
    EXPECT_EQ(row(0), u"ABCDE");
    EXPECT_EQ(row(1), u".....");
    expectCursor(0, 1);

    // Two blank cells at the end: no growth.
    setRow(0, u"ABC..");
    setRow(1, u"XYZ..");
    console.setCursor(3, 0);
    type(u"D");
    EXPECT_EQ(row(0), u"ABCD.");
    EXPECT_EQ(row(1), u"XYZ..");
    EXPECT_EQ(continues(0), 0);
}

TEST_F(LineEditorTest, ACharacterInTheLastCellNeverAdoptsTheRowBelow) {
    setRow(0, u"AB...");
    setRow(1, u"XYZ..");
    console.setCursor(4, 0);
    type(u"x\t");
    EXPECT_EQ(row(0), u"AB..x");
    EXPECT_EQ(row(1), u"\t....");
    EXPECT_EQ(continues(0), 1);
    expectCursor(1, 1);
}

TEST_F(LineEditorTest, AFullGridRingsOrScrolls) {
    setRow(0, u"ABCDE", true);
    setRow(1, u"FGHIJ", true);
    setRow(2, u"KLMNO");
    // From the line's first row at the top of the grid there is nowhere to grow.
    console.setCursor(1, 0);
    type(u"x");
    EXPECT_EQ(view.count("beep"), 1);
    EXPECT_EQ(row(0), u"ABCDE");
    EXPECT_EQ(row(2), u"KLMNO");
    expectCursor(1, 0);

    // From a lower row the region scrolls and the cursor follows its text up.
    console.setCursor(1, 1);
    type(u"x");
    EXPECT_EQ(view.count("scrollRegionUp 0 3"), 1);
    EXPECT_EQ(row(0), u"FxGHI");
    EXPECT_EQ(row(1), u"JKLMN");
    EXPECT_EQ(row(2), u"O....");
    expectCursor(2, 0);

    // A continued last row has no row to step into.
    view.forget();
    setRow(2, u"PQ...", true);
    console.setCursor(0, 2);
    type(u"y");
    EXPECT_EQ(view.count("beep"), 1);
    EXPECT_EQ(row(2), u"PQ...");
}

TEST_F(LineEditorTest, ScrollingGrowsOnlyALineTheScrollRegionCarries) {
    // The region stops above the grid's last row: scrolling would not move the line.
    console.setScrollRegion(0, 2);
    setRow(1, u"ABCDE", true);
    setRow(2, u"FGHIJ");
    console.setCursor(1, 2);
    type(u"x");
    EXPECT_EQ(view.count("beep"), 1);
    EXPECT_EQ(view.count("scrollRegionUp"), 0);
    EXPECT_EQ(row(2), u"FGHIJ");

    // The cursor's row is the region's first: it cannot move up with the text.
    view.forget();
    console.setScrollRegion(1, 2);
    console.setCursor(1, 1);
    type(u"x");
    EXPECT_EQ(view.count("beep"), 1);
    EXPECT_EQ(row(1), u"ABCDE");
}

TEST_F(LineEditorTest, BackspaceDeletesAndJoinsRows) {
    setRow(0, u"AxBCD", true);
    setRow(1, u"EFG..");
    console.setCursor(1, 0);
    type(u"\b");
    EXPECT_EQ(row(0), u"xBCDE");
    EXPECT_EQ(row(1), u"FG...");
    expectCursor(0, 0);

    // At (0, 0) the character under the cursor goes.
    type(u"\b");
    EXPECT_EQ(row(0), u"BCDEF");

    setRow(0, u"HELLO");
    setRow(1, u"WORLD");
    console.setCursor(0, 1);
    type(u"\b");
    EXPECT_EQ(row(0), u"HELLW");
    EXPECT_EQ(row(1), u"ORLD.");
    EXPECT_EQ(continues(0), 1);
    expectCursor(4, 0);

    // The grid's last row pulls nothing from beyond the grid, whatever its flag.
    setRow(2, u"ABCDE", true);
    console.setCursor(0, 2);
    editor.deleteChar();
    EXPECT_EQ(row(2), u"BCDE.");
    EXPECT_EQ(view.count("invalidateRows 2 2"), 1);
}

TEST_F(LineEditorTest, EnterSubmitsTheWholeLogicalLine) {
    setRow(0, u"PRINT", true);
    setRow(1, u" 1+2.");
    console.setCursor(2, 1);
    EXPECT_EQ(editor.editKey(u'\r'), 1);
    EXPECT_EQ(submitted(), u"PRINT 1+2");
    expectCursor(0, 2);

    // A protected prompt is left out; with nothing typed the line is empty.
    console.clearScreen();
    console.putProtectedString(u"? ");
    EXPECT_EQ(editor.editKey(u'\r'), 1);
    EXPECT_EQ(submitted(), u"");
    console.putProtectedString(u"? ");
    type(u"12");
    EXPECT_EQ(editor.editKey(u'\r'), 1);
    EXPECT_EQ(submitted(), u"12");

    // Trailing ideographic spaces go, inner ones stay; a never-written cell inside the line is a blank.
    console.clearScreen();
    setRow(0, u"A\u3000B\u3000\u3000");
    console.screen.cellChar[TextScreen::cellIndex(1, 0)] = 0;
    EXPECT_EQ(editor.collectLine(), 0);
    EXPECT_EQ(submitted(), u"A B");
    setRow(0, u"A\u3000B\u3000\u3000");
    editor.collectLine();
    EXPECT_EQ(submitted(), u"A\u3000B");
}

TEST_F(LineEditorTest, ASubmittedLineStopsAt255Units) {
    console.setConsoleSize(100, 10, 16);
    for (int i = 0; i < 350; ++i) type(std::u16string(1, static_cast<char16_t>(u'0' + i % 10)));
    console.setCursor(7, 1);
    EXPECT_EQ(editor.collectLine(), 2);
    const std::u16string line = submitted();
    ASSERT_EQ(line.size(), 255u);
    EXPECT_EQ(line.substr(250), u"01234");
    editor.editKey(u'\r');
    expectCursor(0, 3);
}

TEST_F(LineEditorTest, HomeClearAndCursorKeys) {
    setRow(0, u"ABCDE");
    console.setScrollRegion(1, 2);
    console.setCursor(3, 2);
    type(u"\v");
    expectCursor(0, 0);
    type(u"\f");
    expectCursor(0, 1);
    EXPECT_EQ(row(0), u".....");
    EXPECT_EQ(view.count("invalidateAll"), 1);

    console.setCursor(0, 0);
    editor.moveCursorKey(VK_UP);
    editor.moveCursorKey(VK_LEFT);
    expectCursor(0, 0);
    editor.moveCursorKey(VK_DOWN);
    editor.moveCursorKey(VK_LEFT);
    expectCursor(4, 0);
    editor.moveCursorKey(VK_RIGHT);
    expectCursor(0, 1);
    console.setCursor(4, 2);
    editor.moveCursorKey(VK_DOWN);
    editor.moveCursorKey(VK_RIGHT);
    editor.moveCursorKey(0x41);
    expectCursor(4, 2);
}

TEST_F(LineEditorTest, RowsUnderTheGraphicsPlaneTakeText) {
    ASSERT_TRUE(console.openPlane(1, 8, 8));
    expectCursor(0, 1);
    editor.moveCursorKey(VK_UP);
    expectCursor(0, 0);
    type(u"Q");
    EXPECT_EQ(console.peekCell(0, 0), u'Q');
}

} // namespace
} // namespace tavik::test
