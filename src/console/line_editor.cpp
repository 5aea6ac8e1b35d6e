#include "line_editor.h"

#include <algorithm>
#include <mutex>

namespace tavik {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr char16_t ENTER = 13;
constexpr char16_t BACKSPACE = 8;
constexpr char16_t HOME = 11;
constexpr char16_t CLEAR = 12;

bool isBlank(std::uint16_t c) {
    return c == 0 || c == 0x20 || c == 0x3000;
}

// Moves all four values of a cell.
void copyCell(TextScreen& s, int fromColumn, int fromRow, int toColumn, int toRow) {
    const int from = TextScreen::cellIndex(fromColumn, fromRow);
    const int to = TextScreen::cellIndex(toColumn, toRow);
    s.cellChar[to] = s.cellChar[from];
    s.cellFore[to] = s.cellFore[from];
    s.cellBack[to] = s.cellBack[from];
    s.cellProtected[to] = s.cellProtected[from];
}

bool cursorInGrid(const TextScreen& s) {
    return s.cursorColumn >= 0 && s.cursorColumn < s.columns && s.cursorRow >= 0 && s.cursorRow < s.rows;
}

} // namespace

int LineEditor::editKey(char16_t ch) {
    Guard guard(console_.lock_);
    TextScreen& s = console_.screen_;
    switch (ch) {
    case ENTER: {
        const int row = collectLine();
        console_.setCursor(0, row);
        console_.putString(u"\n");
        return 1;
    }
    case BACKSPACE: {
        const int row = s.cursorRow;
        moveCursorKey(VK_LEFT);
        // Stepping back over a row start joins the two rows, so the deletion pulls the text below up.
        if (s.cursorRow != row && s.cursorRow >= 0 && s.cursorRow < GRID_CAPACITY)
            s.rowContinues[s.cursorRow] = 1;
        deleteChar();
        return 0;
    }
    case HOME: console_.setCursor(0, 0); return 0;
    case CLEAR: console_.clearScreen(); return 0;
    default: insertChar(ch); return 0;
    }
}

void LineEditor::moveCursorKey(int vk) {
    Guard guard(console_.lock_);
    const TextScreen& s = console_.screen_;
    const int column = s.cursorColumn;
    const int row = s.cursorRow;
    switch (vk) {
    case VK_LEFT:
        if (column > 0)
            console_.setCursor(column - 1, row);
        else if (row > 0)
            console_.setCursor(s.columns - 1, row - 1);
        break;
    case VK_RIGHT:
        if (column < s.columns - 1)
            console_.setCursor(column + 1, row);
        else if (row < s.rows - 1)
            console_.setCursor(0, row + 1);
        break;
    case VK_UP:
        if (row > 0) console_.setCursor(column, row - 1);
        break;
    case VK_DOWN:
        if (row < s.rows - 1) console_.setCursor(column, row + 1);
        break;
    default: break;
    }
}

void LineEditor::insertChar(char16_t ch) {
    Guard guard(console_.lock_);
    TextScreen& s = console_.screen_;
    if (!cursorInGrid(s)) return;
    const int last = s.columns - 1;
    for (;;) {
        const int cc = s.cursorColumn;
        const int cr = s.cursorRow;

        int lastRow = cr;
        while (s.rowContinues[lastRow]) {
            if (lastRow + 1 >= s.rows) {
                console_.putString(u"\a");
                return;
            }
            ++lastRow;
        }

        // Grow before the last row fills: when one of its last two cells holds text. A character typed into
        // the last cell of a row whose end is blank grows nothing: that row then continues into the next,
        // which joins the line with the text it holds.
        const bool full = !isBlank(s.cellChar[TextScreen::cellIndex(last, lastRow)]) ||
                          (last > 0 && !isBlank(s.cellChar[TextScreen::cellIndex(last - 1, lastRow)]));
        if (full) {
            if (lastRow == s.rows - 1) {
                // Scrolling carries the line up only when the region reaches the grid's bottom and the
                // cursor's row stays inside it; otherwise the line cannot grow.
                const bool regionCarriesLine = s.scrollTop + s.scrollHeight == s.rows;
                if (cr <= s.scrollTop || !regionCarriesLine) {
                    console_.putString(u"\a");
                    return;
                }
                console_.scrollUp();
                console_.setCursor(cc, cr - 1);
                continue;
            }
            console_.clearRow(lastRow + 1);
            s.rowContinues[lastRow] = 1;
            ++lastRow;
        }

        // Bottom up, so that the last cell of the row above is still unmoved when it wraps into column 0.
        for (int r = lastRow; r >= cr; --r) {
            const int start = r == cr ? cc : 0;
            for (int c = last - 1; c >= start; --c) copyCell(s, c, r, c + 1, r);
            if (r > cr) copyCell(s, last, r - 1, 0, r);
        }

        const int i = TextScreen::cellIndex(cc, cr);
        s.cellChar[i] = ch;
        s.cellFore[i] = s.foreground;
        s.cellBack[i] = s.background;
        s.cellProtected[i] = 0;
        if (cc == last) s.rowContinues[cr] = 1;
        moveCursorKey(VK_RIGHT);
        console_.damageRows(cr, lastRow);
        return;
    }
}

void LineEditor::deleteChar() {
    Guard guard(console_.lock_);
    TextScreen& s = console_.screen_;
    if (!cursorInGrid(s)) return;
    const int last = s.columns - 1;
    const int firstRow = s.cursorRow;
    int r = firstRow;
    int start = s.cursorColumn;
    for (;;) {
        for (int c = start; c < last; ++c) copyCell(s, c + 1, r, c, r);
        const int i = TextScreen::cellIndex(last, r);
        s.cellChar[i] = 0x20;
        s.cellProtected[i] = 0;
        s.cellFore[i] = s.foreground;
        s.cellBack[i] = s.background;
        // The grid's last row has nothing below to pull up, whatever its flag says.
        if (!s.rowContinues[r] || r == s.rows - 1) break;
        copyCell(s, 0, r + 1, last, r);
        ++r;
        start = 0;
    }
    console_.damageRows(firstRow, r);
}

int LineEditor::collectLine() {
    Guard guard(console_.lock_);
    TextScreen& s = console_.screen_;
    char16_t* out = console_.inputLine_;
    int n = 0;
    int r = s.cursorRow;
    if (r < 0 || r >= s.rows) {
        out[0] = 0;
        return r < 0 ? 0 : s.rows - 1;
    }
    while (r > 0 && s.rowContinues[r - 1]) --r;
    for (;;) {
        int end = s.columns;
        if (!s.rowContinues[r]) {
            while (end > 0 && isBlank(s.cellChar[TextScreen::cellIndex(end - 1, r)])) --end;
        }
        for (int c = 0; c < end; ++c) {
            const int i = TextScreen::cellIndex(c, r);
            if (!s.cellProtected[i]) {
                // A never-written cell inside the line is a blank; as 0 it would end the line early.
                const std::uint16_t ch = s.cellChar[i];
                out[n++] = ch == 0 ? u' ' : static_cast<char16_t>(ch);
            }
            if (n == SUBMITTED_LINE_UNITS) {
                out[n] = 0;
                return r;
            }
        }
        if (!s.rowContinues[r] || r == s.rows - 1) break;
        ++r;
    }
    out[n] = 0;
    return r;
}

namespace {

// The first and last rows of the logical line through row.
int lineFirstRow(const TextScreen& s, int row) {
    while (row > 0 && s.rowContinues[row - 1]) --row;
    return row;
}
int lineLastRow(const TextScreen& s, int row) {
    while (row < s.rows - 1 && s.rowContinues[row]) ++row;
    return row;
}

} // namespace

void LineEditor::editKeyDown(int vk) {
    Guard guard(console_.lock_);
    TextScreen& s = console_.screen_;
    switch (vk) {
    case VK_HOME:
    case VK_END: {
        if (!cursorInGrid(s)) return;
        const int first = lineFirstRow(s, s.cursorRow);
        const int last = lineLastRow(s, s.cursorRow);
        // Cells are counted along the line, row after row.
        const int cells = (last - first + 1) * s.columns;
        auto at = [&](int k) { return TextScreen::cellIndex(k % s.columns, first + k / s.columns); };
        int home = 0;
        while (home < cells && s.cellProtected[at(home)]) ++home;
        if (home == cells) return; // a line of prompt cells only: nowhere to type
        int target = home;
        if (vk == VK_END) {
            int end = cells;
            while (end > 0 && isBlank(s.cellChar[at(end - 1)])) --end;
            // After a full line the cursor stays on its last cell: the next row is another line.
            target = std::max(home, std::min(end, cells - 1));
        }
        console_.setCursor(target % s.columns, first + target / s.columns);
        return;
    }
    case VK_DELETE: deleteChar(); return;
    default: moveCursorKey(vk); return;
    }
}

bool LineEditor::placeCursor(int column, int row) {
    Guard guard(console_.lock_);
    const TextScreen& s = console_.screen_;
    if (column < 0 || column >= s.columns || row < 0 || row >= s.rows) return false;
    if (s.cellProtected[TextScreen::cellIndex(column, row)]) return false;
    console_.setCursor(column, row);
    return true;
}

} // namespace tavik
