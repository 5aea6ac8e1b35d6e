#pragma once
// What the terminal shows, as a grid of terminal cells, and the writer that brings a terminal from the frame
// it shows to the next one by sending only the cells that changed. A console cell is two terminal columns
// by one row; the bottom row is the soft-key bar. No terminal is touched here: the writer appends bytes to a
// string, and the host sends them.
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

    // The terminal's cursor: shown on this cell when visible.
    int cursorColumn = 0;
    int cursorRow = 0;
    bool cursorVisible = false;

  private:
    int columns_ = 0;
    int rows_ = 0;
    std::vector<TerminalCell> cells_;
};

// The screen's size in the layout's pixels for a terminal of this many columns and rows: two columns and
// one row per console cell, less the soft-key bar's row.
int terminalScreenWidth(int columns);
int terminalScreenHeight(int rows);

// Draws the console (grid, margins, plane, soft-key bar) into the frame, which has the terminal's size.
// `caret`: an input request is open, so the terminal's cursor stands on the cursor cell. Under the
// console's lock.
void composeConsole(const Console& console, const TerminalTraits& traits, bool caret, TerminalFrame& frame);

// The soft-key bar's labels, the keys shown with them.
constexpr std::u16string_view BREAK_KEY_TEXT = u" BREAK (Ctrl+C) ";
constexpr std::u16string_view MENU_KEY_TEXT = u" MENU (F10, Alt+M) ";

// The nearest colour of the 256-colour palette's cube and grey ramp (16..255).
int nearestPaletteColour(Colour colour);

class CellWriter {
  public:
    explicit CellWriter(const TerminalTraits& traits) : traits_(traits) {}
    // Appends what brings the terminal from the frame shown last to `next`; the first frame, or the one
    // after forget(), is sent whole after clearing the screen.
    void render(const TerminalFrame& next, std::string& out);
    // The terminal's contents are unknown (after a resize, or a return from suspension).
    void forget() { known_ = false; }
    const TerminalTraits& traits() const { return traits_; }

  private:
    void moveTo(int column, int row, std::string& out);
    void setPen(Colour fore, Colour back, std::string& out);
    void putChar(char32_t ch, std::string& out);

    TerminalTraits traits_;
    TerminalFrame shown_;
    bool known_ = false;
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
