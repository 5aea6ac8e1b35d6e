// The terminal's picture of the console, sent through the cell writer into a fake terminal: every console
// cell takes exactly two columns whatever its character, the plane shows in half blocks, colours are sent
// as the terminal can show them, and after the first frame only the cells the console changed are sent.
#include "console.h"
#include "support/fake_terminal.h"
#include "support/fake_view.h"
#include "terminal_frame.h"
#include "terminal_overlay.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace tavik::test {
namespace {

// A console on a terminal of 40 columns by 13 rows: a screen of 320 x 192 layout pixels, so a grid of 12 x 12
// cells, centred: 8 terminal columns of margin on each side.
class CellWriterTest : public ::testing::Test {
  protected:
    static constexpr int COLUMNS = 40;
    static constexpr int ROWS = 13;

    void SetUp() override {
        ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
        console.resetConsole();
        frame.resize(COLUMNS, ROWS);
    }

    // Composes what the console changed and sends it; returns the bytes sent.
    std::string send(bool caret = false) {
        frame.resize(COLUMNS, ROWS);
        composeConsole(console, traits, caret, false, frame);
        std::string bytes;
        writer.render(frame, bytes);
        terminal.feed(bytes);
        return bytes;
    }
    void print(const char16_t* text) { console.putString(text); }

    FakeView view{terminalScreenWidth(COLUMNS), terminalScreenHeight(ROWS)};
    Console console{view};
    TerminalTraits traits{true, true, true};
    TerminalFrame frame;
    CellWriter writer{traits};
    FakeTerminal terminal{COLUMNS, ROWS};
};

TEST_F(CellWriterTest, EveryCellTakesTwoColumnsWhateverItsCharacter) {
    ASSERT_EQ(console.screen().columns, 12);
    ASSERT_EQ(console.screen().rows, 12);
    console.clearScreen();
    // ASCII drawn as full-width forms; a narrow accented letter and a narrow quote padded with a blank;
    // a wide kana as itself; a control code and a lone surrogate as blanks.
    print(u"A1 \u00E9\"\u3042\x01\xD800z");
    send();
    EXPECT_EQ(terminal.row(0), std::u32string(8, U' ') +
                                   U"\uFF21\uFF11\u3000\u00E9 \u201D \u3042    \uFF5A\u3000\u3000\u3000" +
                                   std::u32string(8, U' '));
    // Margins in the stock grey, cells in their own colours.
    EXPECT_EQ(terminal.at(0, 0).back, MARGIN_GREY);
    EXPECT_EQ(terminal.at(8, 0).fore, 0x000000u);
    EXPECT_EQ(terminal.at(8, 0).back, 0xFFFFFFu);
    EXPECT_EQ(terminal.at(32, 0).back, MARGIN_GREY);
    // The soft-key bar: BREAK on the left, MENU on the right, each with its key.
    const std::u32string bar = terminal.row(ROWS - 1);
    EXPECT_EQ(bar.substr(0, 16), U" BREAK (Ctrl+C) ");
    EXPECT_EQ(bar.substr(COLUMNS - 19), U" MENU (F10, Alt+M) ");
    EXPECT_EQ(terminal.at(20, ROWS - 1).back, SOFT_KEY_BAR);

    // Without full-width forms (the Linux console): the ASCII character and a blank.
    TerminalTraits plain{true, false, true};
    TerminalFrame narrow;
    narrow.resize(COLUMNS, ROWS);
    composeConsole(console, plain, false, true, narrow);
    EXPECT_EQ(narrow.at(8, 0).ch, U'A');
    EXPECT_EQ(narrow.at(9, 0).ch, U' ');
    EXPECT_EQ(narrow.at(12, 0).ch, U' ');
    // And without UTF-8 anything beyond ASCII is a question mark in its two columns.
    TerminalTraits ascii{false, false, false};
    composeConsole(console, ascii, false, true, narrow);
    EXPECT_EQ(narrow.at(14, 0).ch, U'?');
    EXPECT_EQ(narrow.at(18, 0).ch, U'?');
    EXPECT_EQ(narrow.at(19, 0).width, 1);
}

TEST_F(CellWriterTest, AfterTheFirstFrameOnlyChangedCellsAreSent) {
    send();
    EXPECT_EQ(terminal.clears, 1);
    // Nothing changed: nothing is sent.
    EXPECT_EQ(send(), "");
    terminal.charactersWritten = 0;
    console.locate(5, 3);
    print(u"Q");
    const std::string bytes = send();
    EXPECT_EQ(terminal.charactersWritten, 1);
    // One move, the pen of the cell (the bar's was the last), one full-width Q.
    EXPECT_EQ(bytes, "\x1B[4;19H\x1B[38;2;0;0;0;48;2;255;255;255m\xEF\xBC\xB1");
    EXPECT_EQ(terminal.at(18, 3).ch, U'\uFF31');
    // A run of cells in a new colour: one move and one pen for all of them.
    console.setForeground(rgb(255, 0, 0));
    console.locate(0, 4);
    print(u"ab");
    EXPECT_EQ(send(), "\x1B[5;9H\x1B[38;2;255;0;0;48;2;255;255;255m\xEF\xBD\x81\xEF\xBD\x82");
    // A narrow character replacing a wide one: both of its columns are sent again.
    console.locate(0, 4);
    print(u"\u00E9");
    send();
    EXPECT_EQ(terminal.row(4).substr(8, 3), U"\u00E9 \uFF42");
    // A forgotten terminal (resized, resumed) is cleared and sent whole.
    writer.forget();
    terminal.charactersWritten = 0;
    send();
    EXPECT_EQ(terminal.clears, 2);
    EXPECT_GT(terminal.charactersWritten, 12 * 12);
}

TEST_F(CellWriterTest, TheCursorStandsOnTheCursorCellWhileInputIsOpen) {
    console.locate(3, 2);
    send(true);
    EXPECT_TRUE(terminal.cursorVisible);
    EXPECT_EQ(terminal.cursorColumn, 8 + 2 * 3);
    EXPECT_EQ(terminal.cursorRow, 2);
    // Only the cursor moves: no cell is sent.
    console.locate(4, 2);
    EXPECT_EQ(send(true), "\x1B[3;17H\x1B[?25h");
    send(false);
    EXPECT_FALSE(terminal.cursorVisible);
    // A cursor under the plane is not shown.
    ASSERT_TRUE(console.openPlane(4, 16, 16));
    console.locate(0, 1);
    send(true);
    EXPECT_FALSE(terminal.cursorVisible);
}

TEST_F(CellWriterTest, ThePlaneIsSampledIntoHalfBlocksInItsFramedBand) {
    // A plane of 20 x 10 over the top 4 rows: the band is 192 x 64 layout pixels from (64, 0), the picture
    // enlarged 9 x 6 to 180 x 60 and centred at (70, 2). Each terminal cell samples two points, 8 layout
    // pixels apart, at the middle of its halves.
    ASSERT_TRUE(console.openPlane(4, 20, 10));
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x) {
            console.setForeground(x == 0 ? rgb(0, 255, 0) : y < 4 ? rgb(255, 0, 0) : rgb(0, 0, 255));
            console.plotPoint(x, y);
        }
    }
    send();
    const auto expectCell = [&](int column, int row, Colour upper, Colour lower) {
        EXPECT_EQ(terminal.at(column, row).ch, UPPER_HALF_BLOCK) << column << "," << row;
        EXPECT_EQ(terminal.at(column, row).fore, upper) << column << "," << row;
        EXPECT_EQ(terminal.at(column, row).back, lower) << column << "," << row;
    };
    expectCell(8, 0, PLANE_FRAME, PLANE_FRAME);
    expectCell(9, 0, rgb(0, 255, 0), rgb(0, 255, 0));
    expectCell(10, 0, rgb(255, 0, 0), rgb(255, 0, 0));
    expectCell(10, 1, rgb(255, 0, 0), rgb(0, 0, 255));
    expectCell(30, 3, rgb(0, 0, 255), rgb(0, 0, 255));
    expectCell(31, 3, PLANE_FRAME, PLANE_FRAME);
    // The margins stay grey blanks, and the text rows below the band are cells again.
    EXPECT_EQ(terminal.at(7, 0).ch, U' ');
    EXPECT_EQ(terminal.at(8, 4).ch, U'\u3000');

    // One pixel more: only the half blocks that may sample it are composed and sent again. Pixel (11, 5)
    // is the picture's 9 x 6 block from (169, 32): the upper sample (172, 36) of the cell at column 21,
    // row 2.
    terminal.charactersWritten = 0;
    console.setForeground(rgb(255, 255, 0));
    console.plotPoint(11, 5);
    send();
    EXPECT_LE(terminal.charactersWritten, 4);
    expectCell(21, 2, rgb(255, 255, 0), rgb(0, 0, 255));
    expectCell(20, 2, rgb(0, 0, 255), rgb(0, 0, 255));
    expectCell(22, 2, rgb(0, 0, 255), rgb(0, 0, 255));
}

TEST(CellWriter, ColoursOutsideTrueColourTakeTheNearestOfThe256) {
    EXPECT_EQ(nearestPaletteColour(rgb(0, 0, 0)), 16);
    EXPECT_EQ(nearestPaletteColour(rgb(255, 255, 255)), 231);
    EXPECT_EQ(nearestPaletteColour(rgb(255, 0, 0)), 196);
    EXPECT_EQ(nearestPaletteColour(rgb(0, 0, 64)), 17);
    EXPECT_EQ(nearestPaletteColour(rgb(128, 128, 128)), 244);
    EXPECT_EQ(nearestPaletteColour(rgb(95, 135, 175)), 16 + 36 * 1 + 6 * 2 + 3);
    TerminalTraits traits{true, true, false};
    CellWriter writer(traits);
    TerminalFrame frame;
    frame.resize(1, 1);
    frame.put(0, 0, U'x', 1, rgb(255, 0, 0), rgb(128, 128, 128));
    std::string bytes;
    writer.render(frame, bytes);
    EXPECT_EQ(bytes, "\x1B[0m\x1B[2J\x1B[1;1H\x1B[38;5;196;48;5;244mx");
    // The environment decides: COLORTERM announces 24 bits; the Linux console and a locale that is not
    // UTF-8 have no full-width forms.
    EXPECT_TRUE(traitsFor("xterm-256color", "truecolor", true).trueColour);
    EXPECT_TRUE(traitsFor("xterm-256color", "24bit", true).trueColour);
    EXPECT_FALSE(traitsFor("xterm-256color", nullptr, true).trueColour);
    EXPECT_TRUE(traitsFor("xterm-256color", nullptr, true).fullWidth);
    EXPECT_FALSE(traitsFor("linux", nullptr, true).fullWidth);
    EXPECT_TRUE(traitsFor("linux", nullptr, true).unicode);
    EXPECT_FALSE(traitsFor("xterm", nullptr, false).unicode);
}

TEST(TerminalFrame, HalvesOfWideCharactersNeverStandAlone) {
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    TerminalFrame frame;
    frame.resize(6, 1);
    frame.put(0, 0, U'\u3042', 2, 0, 0);
    frame.put(2, 0, U'\u3044', 2, 0, 0);
    // Writing into the right half of one blanks its left half.
    frame.put(1, 0, U'x', 1, 0, 0);
    EXPECT_EQ(frame.at(0, 0).ch, U' ');
    EXPECT_EQ(frame.at(1, 0).ch, U'x');
    // Writing a wide character over the left half of another blanks the other's right half.
    frame.put(4, 0, U'\u3046', 2, 0, 0);
    frame.put(3, 0, U'\u3048', 2, 0, 0);
    EXPECT_EQ(frame.at(2, 0).ch, U' ');
    EXPECT_EQ(frame.at(3, 0).width, 2);
    EXPECT_EQ(frame.at(4, 0).width, 0);
    EXPECT_EQ(frame.at(5, 0).ch, U' ');
    EXPECT_EQ(frame.at(5, 0).width, 1);
    // A wide character cut by the right edge is a blank.
    frame.put(5, 0, U'\u3042', 2, 0, 0);
    EXPECT_EQ(frame.at(5, 0).ch, U' ');
}

} // namespace
} // namespace tavik::test
