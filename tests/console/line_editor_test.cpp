#include "caret.h"
#include "line_editor.h"

#include "console/console_fixture.h"

#include <string>
#include <utility>

namespace tavik::test {
namespace {

// A 5 x 3 grid. A grid is written row after row, '.' for a blank cell, each row followed by '+' when it
// continues into the next or '/' when it does not (nothing after the last row).
class LineEditorTest : public ConsoleTest {
  protected:
    void SetUp() override {
        console.setConsoleSize(5, 3, 16);
        console.takeDamage();
        view.forget();
    }
    void setGrid(const std::u16string& text, int cursorColumn, int cursorRow) {
        console.clearAllRows();
        int r = 0, c = 0;
        for (char16_t ch : text) {
            if (ch == u'+' || ch == u'/') {
                ConsolePeer(console).screen.rowContinues[r++] = ch == u'+';
                c = 0;
            } else {
                ConsolePeer(console).screen.cellChar[TextScreen::cellIndex(c++, r)] = ch == u'.' ? u' ' : ch;
            }
        }
        console.setCursor(cursorColumn, cursorRow);
        console.takeDamage();
        view.forget();
    }
    std::u16string grid() const {
        std::u16string text;
        for (int r = 0; r < console.screen().rows; ++r) {
            if (r > 0) text += continues(r - 1) ? u'+' : u'/';
            for (char16_t ch : rowText(r)) text += ch == u' ' ? u'.' : ch;
        }
        return text;
    }
    void type(const std::u16string& text) {
        for (char16_t c : text) editor.editKey(c);
    }

    LineEditor editor{console};
};

TEST_F(LineEditorTest, InsertionReflowsAndGrowsTheLine) {
    setGrid(u"ABCDE+FG.../.....", 1, 0);
    type(u"x");
    EXPECT_EQ(grid(), u"AxBCD+EFG../.....");
    expectCursor(2, 0);
    EXPECT_EQ(damage(), "0:0-5 1:0-5");

    setGrid(u"ABCDE/XYZ../.....", 1, 0); // the row taken in is cleared first
    type(u"x");
    EXPECT_EQ(grid(), u"AxBCD+E..../.....");

    setGrid(u"ABCD./XYZ../.....", 4, 0); // filling the last cell but one grows the line first
    type(u"E");
    EXPECT_EQ(grid(), u"ABCDE+...../.....");
    expectCursor(0, 1);

    setGrid(u"ABC../XYZ../.....", 3, 0); // two blanks at the end: no growth
    type(u"D");
    EXPECT_EQ(grid(), u"ABCD./XYZ../.....");

    // The last cell with the two before the end blank: no growth, and the row below joins the line with its
    // text, which the next character pushes along.
    setGrid(u"AB.../XYZ../.....", 4, 0);
    type(u"x");
    EXPECT_EQ(grid(), u"AB..x+XYZ../.....");
    expectCursor(0, 1);
    EXPECT_EQ(damage(), "0:0-5");
    editor.collectLine();
    EXPECT_EQ(std::u16string(console.inputLine()), u"AB  xXYZ");
    type(u"\t");
    EXPECT_EQ(grid(), u"AB..x+\tXYZ./.....");
    expectCursor(1, 1);
    setGrid(u"AB.../XYZ../.....", 3, 0); // the cell before the last: the same
    type(u"x");
    EXPECT_EQ(grid(), u"AB.x./XYZ../.....");
}

TEST_F(LineEditorTest, AFullGridRingsOrScrolls) {
    setGrid(u"ABCDE+FGHIJ+KLMNO", 1, 0); // from the top row there is nowhere to grow
    type(u"x");
    EXPECT_EQ(view.count("beep"), 1);
    EXPECT_EQ(damage(), "");
    EXPECT_EQ(grid(), u"ABCDE+FGHIJ+KLMNO");

    console.setCursor(1, 1); // from a lower row the region scrolls and the cursor follows its text
    type(u"x");
    EXPECT_EQ(damage(), "0:0-5 1:0-5 2:0-5");
    EXPECT_EQ(grid(), u"FxGHI+JKLMN+O....");
    expectCursor(2, 0);

    setGrid(u"...../...../PQ...+", 0, 2); // a continued last row has no row to step into
    type(u"y");
    EXPECT_EQ(view.count("beep"), 1);
    EXPECT_EQ(grid(), u"...../...../PQ...");

    // Scrolling cannot carry the line: the region ends above it, or the cursor is in its top row.
    console.setScrollRegion(0, 2);
    setGrid(u"...../ABCDE+FGHIJ", 1, 2);
    type(u"x");
    console.setScrollRegion(1, 2);
    console.setCursor(1, 1);
    type(u"x");
    EXPECT_EQ(view.count("beep"), 2);
    EXPECT_EQ(damage(), "");
    EXPECT_EQ(grid(), u"...../ABCDE+FGHIJ");
}

TEST_F(LineEditorTest, BackspaceDeletesAndJoinsRows) {
    setGrid(u"AxBCD+EFG../.....", 1, 0);
    type(u"\b");
    EXPECT_EQ(grid(), u"xBCDE+FG.../.....");
    expectCursor(0, 0);
    type(u"\b"); // at (0, 0) the character under the cursor goes
    EXPECT_EQ(grid(), u"BCDEF+G..../.....");

    setGrid(u"HELLO/WORLD/.....", 0, 1);
    type(u"\b");
    EXPECT_EQ(grid(), u"HELLW+ORLD./.....");
    expectCursor(4, 0);

    setGrid(u"...../...../ABCDE+", 0, 2); // nothing is pulled from beyond the grid
    editor.deleteChar();
    EXPECT_EQ(grid(), u"...../...../BCDE.");
    EXPECT_EQ(damage(), "2:0-5");
}

TEST_F(LineEditorTest, EnterSubmitsTheLogicalLineWithoutPromptsAndTrailingBlanks) {
    setGrid(u"PRINT+.1*2./.....", 2, 1);
    EXPECT_EQ(editor.editKey(u'\r'), 1);
    EXPECT_EQ(std::u16string(console.inputLine()), u"PRINT 1*2");
    expectCursor(0, 2);

    console.clearScreen();
    console.putProtectedString(u"? ");
    type(u"\r");
    EXPECT_EQ(std::u16string(console.inputLine()), u"");
    console.putProtectedString(u"? ");
    type(u"12\r");
    EXPECT_EQ(std::u16string(console.inputLine()), u"12");

    // Ideographic spaces: trailing ones go, inner ones stay; a never-written inner cell is a blank.
    setGrid(u"A\u3000B\u3000\u3000/", 0, 0);
    editor.collectLine();
    EXPECT_EQ(std::u16string(console.inputLine()), u"A\u3000B");
    ConsolePeer(console).screen.cellChar[TextScreen::cellIndex(1, 0)] = 0;
    editor.collectLine();
    EXPECT_EQ(std::u16string(console.inputLine()), u"A B");
}

TEST_F(LineEditorTest, ASubmittedLineStopsAt255Units) {
    console.setConsoleSize(100, 10, 16);
    for (int i = 0; i < 350; ++i) editor.editKey(static_cast<char16_t>(u'0' + i % 10));
    console.setCursor(7, 1);
    EXPECT_EQ(editor.collectLine(), 2);
    const std::u16string line = console.inputLine();
    ASSERT_EQ(line.size(), 255u);
    EXPECT_EQ(line.substr(250), u"01234");
    type(u"\r");
    expectCursor(0, 3);
}

TEST_F(LineEditorTest, HomeClearAndCursorKeysUseTheWholeGrid) {
    setGrid(u"ABCDE/...../.....", 3, 2);
    console.setScrollRegion(1, 2);
    type(u"\v");
    expectCursor(0, 0);
    type(u"\f");
    expectCursor(0, 1);
    EXPECT_EQ(grid(), u"...../...../.....");

    console.setCursor(0, 0);
    for (int vk : {VK_UP, VK_LEFT}) editor.moveCursorKey(vk);
    expectCursor(0, 0);
    for (int vk : {VK_DOWN, VK_LEFT}) editor.moveCursorKey(vk);
    expectCursor(4, 0);
    editor.moveCursorKey(VK_RIGHT);
    expectCursor(0, 1);
    console.setCursor(4, 2);
    for (int vk : {VK_DOWN, VK_RIGHT, 0x41}) editor.moveCursorKey(vk);
    expectCursor(4, 2);

    // The rows under the graphics plane take text too; it is only not shown.
    console.resetLayout();
    ASSERT_TRUE(console.openPlane(1, 8, 8));
    console.setCursor(0, 1);
    editor.moveCursorKey(VK_UP);
    type(u"Q");
    EXPECT_EQ(console.peekCell(0, 0), u'Q');
}

TEST_F(LineEditorTest, HomeEndAndDeleteEditTheLogicalLine) {
    // Home: the line's first cell after the prompt, from any of its rows; End: after its last non-blank cell.
    setGrid(u"?.ABC+DE.../.....", 3, 1);
    ConsolePeer(console).screen.cellProtected[TextScreen::cellIndex(0, 0)] = 1;
    ConsolePeer(console).screen.cellProtected[TextScreen::cellIndex(1, 0)] = 1;
    editor.editKeyDown(VK_HOME);
    expectCursor(2, 0);
    editor.editKeyDown(VK_END);
    expectCursor(2, 1);
    editor.editKeyDown(VK_END); // again: stays
    expectCursor(2, 1);

    // A line with only its prompt: End is Home. A blank line: both go to its first cell.
    setGrid(u"?..../...../.....", 4, 0);
    ConsolePeer(console).screen.cellProtected[TextScreen::cellIndex(0, 0)] = 1;
    editor.editKeyDown(VK_END);
    expectCursor(1, 0);
    setGrid(u"ABCDE/...../.....", 3, 1);
    editor.editKeyDown(VK_END);
    expectCursor(0, 1);
    editor.editKeyDown(VK_HOME);
    expectCursor(0, 1);

    // A full line that ends the grid: End stays on its last cell, the only cell still in the line.
    setGrid(u"...../ABCDE+FGHIJ", 1, 1);
    editor.editKeyDown(VK_END);
    expectCursor(4, 2);

    // Delete takes the cell under the cursor and pulls the rest of the line up; the cursor stays.
    setGrid(u"ABCDE+FG.../XY...", 3, 0);
    editor.editKeyDown(VK_DELETE);
    EXPECT_EQ(grid(), u"ABCEF+G..../XY...");
    expectCursor(3, 0);
    console.setCursor(1, 1);
    editor.editKeyDown(VK_DELETE);
    editor.editKeyDown(VK_DELETE);
    EXPECT_EQ(grid(), u"ABCEF+G..../XY...");

    // The arrows still move as before through the same entry; other codes do nothing.
    console.setCursor(0, 1);
    for (int vk : {VK_LEFT, VK_UP, 0x41}) editor.editKeyDown(vk);
    expectCursor(4, 0);
}

TEST_F(LineEditorTest, AClickPlacesTheCursorOnAnyCellButPromptsAndOutsideTheGrid) {
    setGrid(u"?.AB./...../.....", 0, 2);
    ConsolePeer(console).screen.cellProtected[TextScreen::cellIndex(0, 0)] = 1;
    ConsolePeer(console).screen.cellProtected[TextScreen::cellIndex(1, 0)] = 1;
    EXPECT_TRUE(editor.placeCursor(3, 0));
    expectCursor(3, 0);
    EXPECT_TRUE(editor.placeCursor(3, 1)); // blank cells and rows far from any text are fine
    expectCursor(3, 1);
    for (auto [c, r] : {std::pair{0, 0}, {1, 0}, {5, 0}, {-1, 1}, {0, 3}, {2, -1}}) {
        EXPECT_FALSE(editor.placeCursor(c, r)) << c << "," << r;
        expectCursor(3, 1);
    }
    type(u"x"); // typing goes where the click put the cursor
    EXPECT_EQ(grid(), u"?.AB./...x./.....");
}

TEST_F(LineEditorTest, TheCaretBlinksFollowsTheCursorAndScrollsWithTheText) {
    console.setCursor(3, 1);
    placeCaret(console);
    EXPECT_EQ(view.count("damaged"), 0); // first shown at the first tick
    caretTick(console);
    EXPECT_EQ(console.caretOn(), 1);
    EXPECT_EQ(view.count("damaged"), 1);
    EXPECT_EQ(damage(), "1:3-4");
    console.setCursor(4, 1);
    view.forget();
    caretTick(console); // the old cell shows plain, then the caret shows at the new one
    EXPECT_EQ(console.caretOn(), 1);
    EXPECT_EQ(view.count("damaged"), 2);
    EXPECT_EQ(damage(), "1:3-5");

    console.scrollUp();
    console.scrollUp();
    EXPECT_EQ(console.caretRow(), -1);
    console.takeDamage();
    view.forget();
    hideCaret(console); // scrolled off the top: nothing to draw
    EXPECT_EQ(console.caretOn(), 0);
    EXPECT_TRUE(view.events.empty());
    EXPECT_EQ(damage(), "");
}

} // namespace
} // namespace tavik::test
