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
        view.forget();
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
