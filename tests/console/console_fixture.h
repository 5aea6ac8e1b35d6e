#pragma once
// A console on a 480 x 640 fake screen with 16-pixel cells, sized 20 x 20 and blank, the view's log emptied.
#include "console.h"
#include "support/console_peer.h"
#include "support/fake_view.h"

#include <gtest/gtest.h>

#include <string>

namespace tavik::test {

class ConsoleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        console.setConsoleSize(20, 20, 16);
        console.takeDamage();
        view.forget();
    }

    // The damage taken from the console: "all", each damaged row as "row:left-right", the plane's changed
    // pixels as "plane:left,top-right,bottom"; separated by blanks, "" when nothing changed.
    std::string damage() {
        const ScreenDamage d = console.takeDamage();
        std::string text;
        const auto item = [&text](const std::string& part) {
            if (!text.empty()) text += ' ';
            text += part;
        };
        if (d.all) item("all");
        for (int r = 0; r < GRID_CAPACITY; ++r) {
            const ScreenDamage::Span s = d.rows[static_cast<std::size_t>(r)];
            if (!s.empty())
                item(std::to_string(r) + ':' + std::to_string(s.left) + '-' + std::to_string(s.right));
        }
        if (d.planeChanged()) {
            const PixelRect& p = d.planePixels;
            item("plane:" + std::to_string(p.left) + ',' + std::to_string(p.top) + '-' +
                 std::to_string(p.right) + ',' + std::to_string(p.bottom));
        }
        return text;
    }
    // The rows first..last, every column of the grid damaged.
    static std::string wholeRows(int first, int last, int columns = 20) {
        std::string text;
        for (int r = first; r <= last; ++r) {
            if (!text.empty()) text += ' ';
            text += std::to_string(r) + ":0-" + std::to_string(columns);
        }
        return text;
    }

    // The characters of one row, as peekCell reads them.
    std::u16string rowText(int row) const {
        std::u16string text;
        for (int c = 0; c < console.screen().columns; ++c)
            text += static_cast<char16_t>(console.peekCell(c, row));
        return text;
    }
    std::u16string blankRow() const { return std::u16string(console.screen().columns, u' '); }
    bool isProtected(int column, int row) const {
        return console.screen().cellProtected[TextScreen::cellIndex(column, row)] != 0;
    }
    int continues(int row) const { return console.screen().rowContinues[row]; }
    void expectCursor(int column, int row) const {
        EXPECT_EQ(console.cursorColumn(), column);
        EXPECT_EQ(console.cursorRow(), row);
    }

    FakeView view;
    Console console{view, &view};
};

} // namespace tavik::test
