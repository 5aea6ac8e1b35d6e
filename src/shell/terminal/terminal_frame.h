#pragma once
// What the terminal shows, as a grid of terminal cells, and the writer that sends the cells written into it
// since they were last sent. The console's damage decides which cells are composed again, so only what
// changed is written and sent. A console cell is two terminal columns by one row; the bottom row is the
// soft-key bar. No terminal is touched here: the writer appends bytes to a string, and the host sends them.
#include "colour.h"
#include "console.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavik {

// One console cell is this many pixels of the layout arithmetic: two terminal columns, one row.
constexpr int TERMINAL_CELL_PIXELS = 16;
constexpr Colour SOFT_KEY_BAR = 0xC0C0C0;
// Drawn for the plane: the upper half in the foreground colour, the lower in the background.
constexpr char32_t UPPER_HALF_BLOCK = 0x2580;

// What the terminal can show.
struct TerminalTraits {
    // UTF-8 text: anything beyond ASCII can be sent.
    bool unicode = true;
    // Full-width forms are drawn (a CJK-capable terminal): printable ASCII is shown as its full-width form.
    bool fullWidth = true;
    // 24-bit colours, else the nearest of the 256-colour palette.
    bool trueColour = false;
};

// Decided from the environment and the locale's character set: COLORTERM announces 24-bit colour, a
// character set other than UTF-8 or the Linux console leaves out the full-width forms.
TerminalTraits traitsFor(const char* term, const char* colorTerm, bool utf8Locale);

struct TerminalCell {
    char32_t ch = U' ';
    // 2: the left half of a wide character; 0: its right half (never sent on its own).
    std::uint8_t width = 1;
    Colour fore = 0;
    Colour back = 0;
    bool operator==(const TerminalCell&) const = default;
};

class TerminalFrame {
  public:
    // A new size blanks every cell and marks it to be sent; the same size changes nothing.
    void resize(int columns, int rows);
    int columns() const { return columns_; }
    int rows() const { return rows_; }
    const TerminalCell& at(int column, int row) const {
        return cells_[static_cast<std::size_t>(row) * columns_ + column];
    }
    // A character at a column; one of width 2 takes the next column too. A character cut by the frame's
    // edge or by another written over half of it leaves a blank.
    void put(int column, int row, char32_t ch, int width, Colour fore, Colour back);
    // BMP text from a column, each character as wide as it is, clipped at the right edge; returns the
    // column after it. Without `unicode` anything beyond ASCII shows as '?'.
    int text(int column, int row, std::u16string_view text, Colour fore, Colour back, bool unicode);
    void fill(int left, int top, int right, int bottom, Colour back);

    // The columns [left, right) of a row written since the writer last sent them (every cell put is
    // marked; so is the other half of a wide character it cuts).
    struct Marked {
        int left = 0;
        int right = 0;
    };
    Marked marked(int row) const { return marks_[static_cast<std::size_t>(row)]; }
    bool anyMarked() const { return anyMarked_; }
    void markAll();
    void clearMarks();

    // The terminal's cursor: shown on this cell when visible.
    int cursorColumn = 0;
    int cursorRow = 0;
    bool cursorVisible = false;

  private:
    void mark(int column, int row);

    int columns_ = 0;
    int rows_ = 0;
    std::vector<TerminalCell> cells_;
    std::vector<Marked> marks_;
    bool anyMarked_ = false;
};

// The screen's size in the layout's pixels for a terminal of this many columns and rows: two columns and
// one row per console cell, less the soft-key bar's row.
int terminalScreenWidth(int columns);
int terminalScreenHeight(int rows);

// Brings the frame (the terminal's size) up to date with the console: takes the console's damage and
// composes what it names, or, when `whole` (a new frame, one the overlay drew over), everything: grid,
// margins, plane and soft-key bar. `caret`: an input request is open, so the terminal's cursor stands on the
// cursor cell (the caret's inverted cell is the window's; a terminal has a cursor of its own). Takes the
// console's lock.
void composeConsole(Console& console, const TerminalTraits& traits, bool caret, bool whole,
                    TerminalFrame& frame);

// The console cell shown at the terminal cell (column, row), both counted from 0, as composeConsole places
// the grid on a terminal of terminalRows rows; false for the margins, the soft-key bar and beyond the grid.
bool consoleCellAt(const ConsoleGeometry& g, int terminalRows, int terminalColumn, int terminalRow,
                   int& column, int& row);

// The soft-key bar's labels, the keys shown with them.
constexpr std::u16string_view BREAK_KEY_TEXT = u" BREAK (Ctrl+C) ";
constexpr std::u16string_view MENU_KEY_TEXT = u" MENU (F10, Alt+M) ";

// The nearest colour of the 256-colour palette's cube and grey ramp (16..255).
int nearestPaletteColour(Colour colour);

class CellWriter {
  public:
    explicit CellWriter(const TerminalTraits& traits) : traits_(traits) {}
    // Appends the frame's marked cells and the cursor, and clears the marks; the first frame, one of
    // another size, or the one after forget(), is sent whole after clearing the screen.
    void render(TerminalFrame& next, std::string& out);
    // The terminal's contents are unknown (after a resize, or a return from suspension).
    void forget() { known_ = false; }
    const TerminalTraits& traits() const { return traits_; }

  private:
    void moveTo(int column, int row, std::string& out);
    void setPen(Colour fore, Colour back, std::string& out);
    void putChar(char32_t ch, std::string& out);

    TerminalTraits traits_;
    bool known_ = false;
    int shownColumns_ = 0;
    int shownRows_ = 0;
    int shownCursorColumn_ = 0;
    int shownCursorRow_ = 0;
    bool penKnown_ = false;
    Colour penFore_ = 0;
    Colour penBack_ = 0;
    int atColumn_ = -1;
    int atRow_ = -1;
    bool cursorShown_ = false;
};

// Display width of a character in terminal columns as the C library's locale sees it (wcwidth): -1 for one
// that is not printable.
int characterWidth(char32_t ch);

// The columns text() gives the text.
int textWidth(std::u16string_view text, bool unicode);

} // namespace tavik
