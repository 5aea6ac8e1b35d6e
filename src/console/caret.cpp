#include "caret.h"

#include <mutex>

namespace tavik {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

} // namespace

void placeCaret(Console& console) {
    Guard guard(console.lock);
    console.caretColumn = console.screen.cursorColumn;
    console.caretRow = console.screen.cursorRow;
}

void caretTick(Console& console) {
    Guard guard(console.lock);
    const TextScreen& s = console.screen;
    if (s.cursorColumn != console.caretColumn || s.cursorRow != console.caretRow) {
        console.caretOn = 0;
        redrawCaretCell(console);
        console.caretColumn = s.cursorColumn;
        console.caretRow = s.cursorRow;
    }
    console.caretOn = console.caretOn ? 0 : 1;
    redrawCaretCell(console);
}

void hideCaret(Console& console) {
    Guard guard(console.lock);
    console.caretOn = 0;
    redrawCaretCell(console);
}

void redrawCaretCell(Console& console) {
    Guard guard(console.lock);
    const TextScreen& s = console.screen;
    const int column = console.caretColumn;
    const int row = console.caretRow;
    if (row < s.firstTextRow || row < 0 || row >= s.rows || column < 0 || column >= s.columns) return;
    console.view().drawCell(column, row);
    console.view().repaintNow();
}

} // namespace tavik
