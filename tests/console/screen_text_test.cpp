// Copy Screen's text: one line per row, trailing blanks trimmed, nothing but text.
#include "console_fixture.h"
#include "screen_text.h"

namespace tavik::test {
namespace {

using ScreenText = ConsoleTest;

TEST_F(ScreenText, OneLinePerRowWithTrailingBlanksTrimmed) {
    console.setConsoleSize(6, 4, 16);
    console.putString(u"ab cdefg"); // wraps: a logical line is still one line per row
    console.locate(0, 2);
    console.putString(u"\u3042\u3000x\u3000 ");
    TextScreen& s = ConsolePeer(console).screen;
    s.cellChar[TextScreen::cellIndex(3, 3)] = 0; // a cell never written
    s.cellChar[TextScreen::cellIndex(1, 3)] = u'\t';
    s.cellChar[TextScreen::cellIndex(2, 3)] = 7; // a control code the editor stored
    s.cellChar[TextScreen::cellIndex(4, 3)] = u'z';
    EXPECT_EQ(screenText(console), u"ab cde\nfg\n\u3042\u3000x\n \t  z\n");
    EXPECT_EQ(tavik::rowText(s, 4), u""); // outside the grid in use
    EXPECT_EQ(tavik::rowText(s, -1), u"");
}

} // namespace
} // namespace tavik::test
