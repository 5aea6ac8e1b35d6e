#include "terminal_frame.h"

#include "layout.h"
#include "utf16.h"
#include "utf8.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <cwchar>
#include <mutex>

namespace tavik {

namespace {

constexpr Colour BAR_TEXT = 0x000000;

// Integer division that rounds towards minus infinity: a grid larger than the screen starts left of it.
int floorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

void appendNumber(int value, std::string& out) {
    char digits[12];
    int n = 0;
    unsigned v = static_cast<unsigned>(value);
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n > 0) out.push_back(digits[--n]);
}

} // namespace

TerminalTraits traitsFor(const char* term, const char* colorTerm, bool utf8Locale) {
    TerminalTraits traits;
    traits.unicode = utf8Locale;
    const bool linuxConsole = term != nullptr && std::strcmp(term, "linux") == 0;
    traits.fullWidth = utf8Locale && !linuxConsole;
    traits.trueColour = colorTerm != nullptr &&
                        (std::strcmp(colorTerm, "truecolor") == 0 || std::strcmp(colorTerm, "24bit") == 0);
    return traits;
}

int characterWidth(char32_t ch) {
    if (ch < 0x20 || isSurrogate(ch) || ch > 0x10FFFF) return -1;
    if (ch < 0x7F) return 1;
    return ::wcwidth(static_cast<wchar_t>(ch));
}

// ---------------------------------------------------------------------------------------------------------
// TerminalFrame

void TerminalFrame::resize(int columns, int rows) {
    columns = std::max(columns, 0);
    rows = std::max(rows, 0);
    if (columns == columns_ && rows == rows_ && !cells_.empty()) return;
    columns_ = columns;
    rows_ = rows;
    cells_.assign(static_cast<std::size_t>(columns_) * rows_, TerminalCell{});
    marks_.assign(static_cast<std::size_t>(rows_), Marked{});
    markAll();
    cursorVisible = false;
}

void TerminalFrame::mark(int column, int row) {
    Marked& m = marks_[static_cast<std::size_t>(row)];
    if (m.left >= m.right) {
        m = {column, column + 1};
    } else {
        m.left = std::min(m.left, column);
        m.right = std::max(m.right, column + 1);
    }
    anyMarked_ = true;
}

void TerminalFrame::markAll() {
    for (Marked& m : marks_) m = {0, columns_};
    anyMarked_ = rows_ > 0 && columns_ > 0;
}

void TerminalFrame::clearMarks() {
    if (anyMarked_) std::fill(marks_.begin(), marks_.end(), Marked{});
    anyMarked_ = false;
}

void TerminalFrame::put(int column, int row, char32_t ch, int width, Colour fore, Colour back) {
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_) return;
    auto cell = [&](int c) -> TerminalCell& { return cells_[static_cast<std::size_t>(row) * columns_ + c]; };
    auto blank = [&](int c) {
        TerminalCell& b = cell(c);
        b.ch = U' ';
        b.width = 1;
        mark(c, row);
    };
    // Half of a wide character overwritten: the other half becomes a blank.
    if (cell(column).width == 0 && column > 0) blank(column - 1);
    if (cell(column).width == 2 && column + 1 < columns_) blank(column + 1);
    if (width == 2) {
        if (column + 1 >= columns_) {
            ch = U' ';
            width = 1;
        } else {
            if (cell(column + 1).width == 2 && column + 2 < columns_) blank(column + 2);
            cell(column + 1) = {ch, 0, fore, back};
            mark(column + 1, row);
        }
    }
    cell(column) = {ch, static_cast<std::uint8_t>(width == 2 ? 2 : 1), fore, back};
    mark(column, row);
}

int TerminalFrame::text(int column, int row, std::u16string_view text, Colour fore, Colour back,
                        bool unicode) {
    for (const char16_t unit : text) {
        if (column >= columns_) break;
        char32_t ch = unit;
        int width = characterWidth(ch);
        if (width < 1 || width > 2 || (!unicode && ch >= 0x80)) {
            ch = U'?';
            width = 1;
        }
        put(column, row, ch, width, fore, back);
        column += width;
    }
    return column;
}

int textWidth(std::u16string_view text, bool unicode) {
    int width = 0;
    for (const char16_t unit : text) width += unicode ? std::clamp(characterWidth(unit), 1, 2) : 1;
    return width;
}

void TerminalFrame::fill(int left, int top, int right, int bottom, Colour back) {
    for (int row = std::max(top, 0); row < std::min(bottom, rows_); ++row)
        for (int column = std::max(left, 0); column < std::min(right, columns_); ++column)
            put(column, row, U' ', 1, back, back);
}

// ---------------------------------------------------------------------------------------------------------
// Composing the console

int terminalScreenWidth(int columns) {
    return std::max(columns / 2, 1) * TERMINAL_CELL_PIXELS;
}

int terminalScreenHeight(int rows) {
    return std::max(rows - 1, 1) * TERMINAL_CELL_PIXELS;
}

namespace {

// One console cell at terminal column `column`: its glyph and, for a narrow glyph, the blank that pads it to
// two columns.
void putConsoleCell(TerminalFrame& frame, const TerminalTraits& traits, int column, int row,
                    std::uint16_t code, Colour fore, Colour back) {
    char32_t ch = code;
    if (traits.fullWidth) ch = glyphFor(code);
    int width = characterWidth(ch);
    if (!traits.unicode && ch >= 0x80) {
        ch = U'?';
        width = 1;
    }
    if (width < 1 || width > 2) {
        // Controls, a lone half of a surrogate pair, combining marks: the cell is only its background.
        ch = U' ';
        width = 1;
    }
    frame.put(column, row, ch, width, fore, back);
    if (width == 1) frame.put(column + 1, row, U' ', 1, fore, back);
}

Colour planeSample(const GraphicsPlane& plane, const PlaneFit& fit, int x, int y) {
    const PixelRect& p = fit.picture;
    if (fit.scaleX <= 0 || fit.scaleY <= 0 || x < p.left || x >= p.right || y < p.top || y >= p.bottom)
        return PLANE_FRAME;
    return plane.at((x - p.left) / fit.scaleX, (y - p.top) / fit.scaleY);
}

// Terminal cells are half a console cell wide: 8 layout pixels by 16.
constexpr int HALF_CELL = TERMINAL_CELL_PIXELS / 2;

// The band's terminal cells within columns [fromColumn, toColumn) and rows [fromRow, toRow), each sampled
// twice, one point above the other.
void composePlane(TerminalFrame& frame, const TerminalTraits& traits, const ConsoleGeometry& g,
                  const GraphicsPlane& plane, int fromColumn, int toColumn, int fromRow, int toRow) {
    const int screenRows = std::max(frame.rows() - 1, 0);
    const int left = floorDiv(g.grid.left, HALF_CELL);
    const int top = floorDiv(g.grid.top, TERMINAL_CELL_PIXELS);
    const int quarter = TERMINAL_CELL_PIXELS / 4;
    fromRow = std::max({fromRow, top, 0});
    toRow = std::min({toRow, top + g.firstTextRow, screenRows});
    fromColumn = std::max({fromColumn, left, 0});
    toColumn = std::min({toColumn, left + 2 * g.columns, frame.columns()});
    for (int row = fromRow; row < toRow; ++row) {
        const int y = row * TERMINAL_CELL_PIXELS;
        for (int column = fromColumn; column < toColumn; ++column) {
            const int x = column * HALF_CELL + HALF_CELL / 2;
            const Colour upper = planeSample(plane, g.fit, x, y + quarter);
            const Colour lower = planeSample(plane, g.fit, x, y + 3 * quarter);
            if (traits.unicode)
                frame.put(column, row, UPPER_HALF_BLOCK, 1, upper, lower);
            else
                frame.put(column, row, U' ', 1, upper, upper);
        }
    }
}

void composeBar(TerminalFrame& frame) {
    const int row = frame.rows() - 1;
    frame.fill(0, row, frame.columns(), row + 1, SOFT_KEY_BAR);
    frame.text(0, row, BREAK_KEY_TEXT, BAR_TEXT, SOFT_KEY_BAR, true);
    // The MENU key on the right, unless the bar is too narrow for both.
    const int menuColumn = frame.columns() - static_cast<int>(MENU_KEY_TEXT.size());
    if (menuColumn >= static_cast<int>(BREAK_KEY_TEXT.size()))
        frame.text(menuColumn, row, MENU_KEY_TEXT, BAR_TEXT, SOFT_KEY_BAR, true);
}

} // namespace

bool consoleCellAt(const ConsoleGeometry& g, int terminalRows, int terminalColumn, int terminalRow,
                   int& column, int& row) {
    if (terminalRow < 0 || terminalRow >= terminalRows - 1 || terminalColumn < 0) return false;
    column = floorDiv(terminalColumn - floorDiv(g.grid.left, HALF_CELL), 2);
    row = terminalRow - floorDiv(g.grid.top, TERMINAL_CELL_PIXELS);
    return column >= 0 && column < g.columns && row >= 0 && row < g.rows;
}

void composeConsole(Console& console, const TerminalTraits& traits, bool caret, bool whole,
                    TerminalFrame& frame) {
    std::lock_guard<std::recursive_mutex> guard(console.lock());
    const ScreenDamage damage = console.takeDamage();
    const ConsoleGeometry g = console.geometry();
    whole = whole || damage.all;
    const int screenRows = std::max(frame.rows() - 1, 0);
    const int left = floorDiv(g.grid.left, HALF_CELL);
    const int top = floorDiv(g.grid.top, TERMINAL_CELL_PIXELS);

    if (whole) {
        frame.fill(0, 0, frame.columns(), screenRows, MARGIN_GREY);
        if (g.planeShown) composePlane(frame, traits, g, console.plane(), 0, frame.columns(), 0, screenRows);
    } else if (g.planeShown && damage.planeChanged() && g.fit.scaleX > 0 && g.fit.scaleY > 0) {
        // The terminal cells whose samples may fall on the changed pixels.
        const PixelRect& p = damage.planePixels;
        const PixelRect from = g.planePixelRect(p.left, p.top);
        const PixelRect to = g.planePixelRect(p.right - 1, p.bottom - 1);
        composePlane(frame, traits, g, console.plane(), floorDiv(from.left, HALF_CELL),
                     floorDiv(to.right + HALF_CELL - 1, HALF_CELL), floorDiv(from.top, TERMINAL_CELL_PIXELS),
                     floorDiv(to.bottom + TERMINAL_CELL_PIXELS - 1, TERMINAL_CELL_PIXELS));
    }

    if (whole || damage.anyRow) {
        std::array<CellLook, GRID_CAPACITY> looks{};
        for (int r = std::max(g.firstTextRow, 0); r < g.rows; ++r) {
            const int row = top + r;
            if (row < 0 || row >= screenRows) continue;
            const ScreenDamage::Span span = damage.row(r, g.columns);
            if (!whole && span.empty()) continue;
            const int columns = console.rowLook(r, looks.data(), CaretLook::Plain);
            for (int c = whole ? 0 : span.left; c < std::min<int>(whole ? columns : span.right, columns);
                 ++c) {
                const int column = left + 2 * c;
                if (column + 1 < 0 || column >= frame.columns()) continue;
                const CellLook& look = looks[static_cast<std::size_t>(c)];
                putConsoleCell(frame, traits, column, row, look.code, look.fore, look.back);
            }
        }
    }

    frame.cursorVisible = false;
    if (caret) {
        const int row = top + g.cursorRow;
        const int column = left + 2 * g.cursorColumn;
        if (g.cursorRow >= g.firstTextRow && row >= 0 && row < screenRows && column >= 0 &&
            column < frame.columns()) {
            frame.cursorVisible = true;
            frame.cursorColumn = column;
            frame.cursorRow = row;
        }
    }
    if (whole && frame.rows() > 0) composeBar(frame);
}

// ---------------------------------------------------------------------------------------------------------
// CellWriter

int nearestPaletteColour(Colour colour) {
    const int r = static_cast<int>(redOf(colour));
    const int g = static_cast<int>(greenOf(colour));
    const int b = static_cast<int>(blueOf(colour));
    static constexpr int levels[6] = {0, 95, 135, 175, 215, 255};
    auto nearestLevel = [](int v) {
        int best = 0;
        for (int i = 1; i < 6; ++i)
            if (std::abs(levels[i] - v) < std::abs(levels[best] - v)) best = i;
        return best;
    };
    const int ri = nearestLevel(r), gi = nearestLevel(g), bi = nearestLevel(b);
    auto distance = [&](int cr, int cg, int cb) {
        return (cr - r) * (cr - r) + (cg - g) * (cg - g) + (cb - b) * (cb - b);
    };
    const int cubeDistance = distance(levels[ri], levels[gi], levels[bi]);
    // The grey ramp: 8, 18, ... 238.
    const int average = (r + g + b) / 3;
    const int greyIndex = std::clamp((average - 8 + 5) / 10, 0, 23);
    const int grey = 8 + 10 * greyIndex;
    if (distance(grey, grey, grey) < cubeDistance) return 232 + greyIndex;
    return 16 + 36 * ri + 6 * gi + bi;
}

void CellWriter::moveTo(int column, int row, std::string& out) {
    if (column == atColumn_ && row == atRow_) return;
    out += "\x1B[";
    appendNumber(row + 1, out);
    out.push_back(';');
    appendNumber(column + 1, out);
    out.push_back('H');
    atColumn_ = column;
    atRow_ = row;
}

void CellWriter::setPen(Colour fore, Colour back, std::string& out) {
    if (penKnown_ && fore == penFore_ && back == penBack_) return;
    auto colour = [&](Colour c, bool isFore) {
        if (traits_.trueColour) {
            out += isFore ? "38;2;" : "48;2;";
            appendNumber(static_cast<int>(redOf(c)), out);
            out.push_back(';');
            appendNumber(static_cast<int>(greenOf(c)), out);
            out.push_back(';');
            appendNumber(static_cast<int>(blueOf(c)), out);
        } else {
            out += isFore ? "38;5;" : "48;5;";
            appendNumber(nearestPaletteColour(c), out);
        }
    };
    out += "\x1B[";
    colour(fore, true);
    out.push_back(';');
    colour(back, false);
    out.push_back('m');
    penKnown_ = true;
    penFore_ = fore;
    penBack_ = back;
}

void CellWriter::putChar(char32_t ch, std::string& out) {
    if (traits_.unicode)
        appendUtf8(ch, out);
    else
        out.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
}

void CellWriter::render(TerminalFrame& next, std::string& out) {
    const bool whole = !known_ || shownColumns_ != next.columns() || shownRows_ != next.rows();
    const std::size_t before = out.size();
    if (whole) {
        out += "\x1B[0m\x1B[2J";
        penKnown_ = false;
        atColumn_ = -1;
        atRow_ = -1;
        next.markAll();
    }
    for (int row = 0; row < next.rows() && next.anyMarked(); ++row) {
        const TerminalFrame::Marked marked = next.marked(row);
        for (int column = marked.left; column < marked.right; ++column) {
            const TerminalCell& cell = next.at(column, row);
            // A right half is sent with its left half.
            int start = column;
            if (cell.width == 0) {
                if (column == 0) continue;
                start = column - 1;
            }
            const TerminalCell& first = next.at(start, row);
            moveTo(start, row, out);
            setPen(first.fore, first.back, out);
            putChar(first.ch, out);
            const int width = first.width == 2 ? 2 : 1;
            atColumn_ = start + width;
            column = start + width - 1;
        }
    }
    next.clearMarks();
    const bool cellsSent = out.size() != before;
    const bool cursorMoves = next.cursorVisible && (next.cursorColumn != shownCursorColumn_ ||
                                                    next.cursorRow != shownCursorRow_ || !cursorShown_);
    if (cursorShown_ && (cellsSent || !next.cursorVisible)) {
        // The cursor hides while cells are sent, so that it is not seen running across the screen.
        out.insert(before, "\x1B[?25l");
        cursorShown_ = false;
    }
    if (next.cursorVisible && (cellsSent || cursorMoves)) {
        if (cellsSent) atColumn_ = -1; // after the last cell the terminal's cursor may stand anywhere
        moveTo(next.cursorColumn, next.cursorRow, out);
        out += "\x1B[?25h";
        cursorShown_ = true;
    }
    shownColumns_ = next.columns();
    shownRows_ = next.rows();
    shownCursorColumn_ = next.cursorColumn;
    shownCursorRow_ = next.cursorRow;
    known_ = true;
}

} // namespace tavik
