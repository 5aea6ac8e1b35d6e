#include "console.h"

#include <algorithm>

namespace tavik {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;
// Tab stops are every TAB_WIDTH columns.
constexpr int TAB_WIDTH = 8;

} // namespace

void Console::writeText(const char16_t* text, int protect) {
    Guard guard(lock_);
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
    Guard guard(lock_);
    if (text == nullptr) return;
    for (; *text != 0; ++text) putCharCell(*text, 0);
}

void Console::storeCell(char16_t c, int protect) {
    const int column = screen_.cursorColumn;
    const int row = screen_.cursorRow;
    if (column < 0 || column >= screen_.columns || row < 0 || row >= screen_.rows) return;
    const int i = TextScreen::cellIndex(column, row);
    screen_.cellChar[i] = c;
    screen_.cellProtected[i] = protect;
    screen_.cellFore[i] = screen_.foreground;
    screen_.cellBack[i] = screen_.background;
    damage_.cell(column, row);
    // Rows under the graphics plane keep their text hidden until the plane closes.
    if (row >= screen_.firstTextRow) view_.damaged();
}

void Console::putCharCell(char16_t c, int protect) {
    storeCell(c, protect);
    if (transcript_) transcript_->transcriptChar(c);
    advanceCell();
}

void Console::advanceCell() {
    const int column = screen_.cursorColumn;
    const int row = screen_.cursorRow;
    if (column + 1 >= screen_.columns) {
        if (row >= 0 && row < GRID_CAPACITY) screen_.rowContinues[row] = 1;
        advanceLine();
    } else {
        setCursor(column + 1, row);
    }
}

void Console::advanceLine() {
    const int row = screen_.cursorRow;
    const int bottom = screen_.scrollTop + screen_.scrollHeight;
    if (row + 1 >= bottom) {
        scrollUp();
        setCursor(0, bottom - 1);
    } else {
        setCursor(0, row + 1);
    }
}

void Console::newLine() {
    Guard guard(lock_);
    advanceLine();
    if (transcript_) transcript_->transcriptNewLine();
}

void Console::tabForward() {
    Guard guard(lock_);
    const int column = screen_.cursorColumn;
    // The test is on column + TAB_WIDTH, not on the stop: near the right edge a tab starts a new line.
    if (column + TAB_WIDTH >= screen_.columns) {
        newLine();
        return;
    }
    const int stop = (column + TAB_WIDTH) / TAB_WIDTH * TAB_WIDTH;
    setCursor(stop, screen_.cursorRow);
    if (transcript_) transcript_->transcriptTab(column, stop);
}

void Console::eraseBack() {
    Guard guard(lock_);
    if (transcript_) transcript_->transcriptBackspace();
    const int column = screen_.cursorColumn;
    const int row = screen_.cursorRow;
    if (column == 0 && row <= 0) return;
    const bool overRowStart = column == 0;
    const int targetColumn = overRowStart ? screen_.columns - 1 : column - 1;
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
    Guard guard(lock_);
    const int top = screen_.scrollTop;
    const int height = screen_.scrollHeight;
    const int last = top + height - 1;
    if (top < 0 || height < 1 || last >= GRID_CAPACITY) return;

    std::copy(screen_.rowContinues + top + 1, screen_.rowContinues + last + 1, screen_.rowContinues + top);
    // Columns are stored row after row, so each column's part of the region moves up as one block.
    for (int column = 0; column < screen_.columns; ++column) {
        const int from = TextScreen::cellIndex(column, top + 1);
        const int to = TextScreen::cellIndex(column, top);
        const int count = height - 1;
        std::copy(screen_.cellChar + from, screen_.cellChar + from + count, screen_.cellChar + to);
        std::copy(screen_.cellProtected + from, screen_.cellProtected + from + count,
                  screen_.cellProtected + to);
        std::copy(screen_.cellFore + from, screen_.cellFore + from + count, screen_.cellFore + to);
        std::copy(screen_.cellBack + from, screen_.cellBack + from + count, screen_.cellBack + to);
    }
    // Every row of the region shows other text now (clearRow marks the last).
    for (int row = top; row < last; ++row) damage_.cells(row, 0, screen_.columns);
    clearRow(last);
    // The caret stays on the text it was on, even when that leaves the top (or the region, which leaves
    // its old cell to be drawn plain).
    if (caretOn_ != 0) damage_.cell(caretColumn_, caretRow_);
    --caretRow_;
    if (caretOn_ != 0) damage_.cell(caretColumn_, caretRow_);
    view_.damaged();
}

} // namespace tavik
