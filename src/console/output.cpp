#include "console.h"

#include <algorithm>

namespace tavik {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;
// Tab stops are every TAB_WIDTH columns.
constexpr int TAB_WIDTH = 8;

} // namespace

void Console::writeText(const char16_t* text, int protect) {
    Guard guard(lock);
    if (text == nullptr) return;
    for (; *text != 0; ++text) {
        switch (*text) {
        case 13: break;
        case 10: newLine(); break;
        case 9: tabForward(); break;
        case 8: eraseBack(); break;
        case 7: view_.beep(); break;
        default: putCharCell(*text, protect); break;
        }
    }
}

void Console::echoTyped(const char16_t* text) {
    Guard guard(lock);
    if (text == nullptr) return;
    for (; *text != 0; ++text) putCharCell(*text, 0);
}

void Console::storeCell(char16_t c, int protect) {
    const int column = screen.cursorColumn;
    const int row = screen.cursorRow;
    if (column < 0 || column >= screen.columns || row < 0 || row >= screen.rows) return;
    const int i = TextScreen::cellIndex(column, row);
    screen.cellChar[i] = c;
    screen.cellProtected[i] = protect;
    screen.cellFore[i] = screen.foreground;
    screen.cellBack[i] = screen.background;
    // Rows under the graphics plane keep their text hidden until the plane closes.
    if (row >= screen.firstTextRow) view_.drawCell(column, row);
}

void Console::putCharCell(char16_t c, int protect) {
    storeCell(c, protect);
    if (transcript_) transcript_->transcriptChar(c);
    advanceCell();
}

void Console::advanceCell() {
    const int column = screen.cursorColumn;
    const int row = screen.cursorRow;
    if (column + 1 >= screen.columns) {
        if (row >= 0 && row < GRID_CAPACITY) screen.rowContinues[row] = 1;
        advanceLine();
    } else {
        setCursor(column + 1, row);
    }
}

void Console::advanceLine() {
    const int row = screen.cursorRow;
    const int bottom = screen.scrollTop + screen.scrollHeight;
    if (row + 1 >= bottom) {
        scrollUp();
        setCursor(0, bottom - 1);
    } else {
        setCursor(0, row + 1);
    }
}

void Console::newLine() {
    Guard guard(lock);
    advanceLine();
    if (transcript_) transcript_->transcriptNewLine();
}

void Console::tabForward() {
    Guard guard(lock);
    const int column = screen.cursorColumn;
    // The test is on column + TAB_WIDTH, not on the stop: near the right edge a tab starts a new line.
    if (column + TAB_WIDTH >= screen.columns) {
        newLine();
        return;
    }
    const int stop = (column + TAB_WIDTH) / TAB_WIDTH * TAB_WIDTH;
    setCursor(stop, screen.cursorRow);
    if (transcript_) transcript_->transcriptTab(column, stop);
}

void Console::eraseBack() {
    Guard guard(lock);
    if (transcript_) transcript_->transcriptBackspace();
    const int column = screen.cursorColumn;
    const int row = screen.cursorRow;
    if (column == 0 && row <= 0) return;
    const bool overRowStart = column == 0;
    const int targetColumn = overRowStart ? screen.columns - 1 : column - 1;
    const int targetRow = overRowStart ? row - 1 : row;
    setCursor(targetColumn, targetRow);
    // The blank is written as any character is and advances the cursor: from the last column that marks the
    // row as continued and takes a new line, which scrolls the region when the row is its last (or below it).
    // The transcript has had its backspace; the blank is not told to it.
    storeCell(0x20, 0);
    advanceCell();
    setCursor(targetColumn, targetRow);
}

void Console::scrollUp() {
    Guard guard(lock);
    const int top = screen.scrollTop;
    const int height = screen.scrollHeight;
    const int last = top + height - 1;
    if (top < 0 || height < 1 || last >= GRID_CAPACITY) return;

    std::copy(screen.rowContinues + top + 1, screen.rowContinues + last + 1, screen.rowContinues + top);
    // Columns are stored row after row, so each column's part of the region moves up as one block.
    for (int column = 0; column < screen.columns; ++column) {
        const int from = TextScreen::cellIndex(column, top + 1);
        const int to = TextScreen::cellIndex(column, top);
        const int count = height - 1;
        std::copy(screen.cellChar + from, screen.cellChar + from + count, screen.cellChar + to);
        std::copy(screen.cellProtected + from, screen.cellProtected + from + count,
                  screen.cellProtected + to);
        std::copy(screen.cellFore + from, screen.cellFore + from + count, screen.cellFore + to);
        std::copy(screen.cellBack + from, screen.cellBack + from + count, screen.cellBack + to);
    }
    clearRow(last);
    // The caret stays on the text it was on, even when that leaves the top.
    --caretRow;
    view_.scrollRegionUp(top, height);
}

} // namespace tavik
