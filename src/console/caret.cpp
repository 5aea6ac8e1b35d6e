#include "caret.h"

#include <mutex>

namespace tavik {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

} // namespace

void placeCaret(Console& console) {
    Guard guard(console.lock_);
    console.caretColumn_ = console.screen_.cursorColumn;
    console.caretRow_ = console.screen_.cursorRow;
}

void caretTick(Console& console) {
    Guard guard(console.lock_);
    const TextScreen& s = console.screen_;
    if (s.cursorColumn != console.caretColumn_ || s.cursorRow != console.caretRow_) {
        console.caretOn_ = 0;
        redrawCaretCell(console);
        console.caretColumn_ = s.cursorColumn;
        console.caretRow_ = s.cursorRow;
    }
    console.caretOn_ = console.caretOn_ ? 0 : 1;
    redrawCaretCell(console);
}

void hideCaret(Console& console) {
    Guard guard(console.lock_);
    console.caretOn_ = 0;
    redrawCaretCell(console);
}

void redrawCaretCell(Console& console) {
    Guard guard(console.lock_);
    const TextScreen& s = console.screen_;
    const int column = console.caretColumn_;
    const int row = console.caretRow_;
    if (row < s.firstTextRow || row < 0 || row >= s.rows || column < 0 || column >= s.columns) return;
    console.damage_.cell(column, row);
    console.view().damaged();
}

} // namespace tavik
