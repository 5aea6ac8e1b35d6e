#pragma once
// The one console: the screen model, character output and scrolling, sizing, and the graphics plane.
// The interpreter prints through it; the line editor edits it; a view shows it.
#include "console_transcript.h"
#include "console_view.h"
#include "graphics_plane.h"
#include "screen_damage.h"
#include "text_screen.h"

#include <cstdint>
#include <mutex>
#include <string_view>

namespace tavik {

constexpr int INPUT_LINE_UNITS = 256;
static_assert(DAMAGE_ROWS == GRID_CAPACITY);

// How one cell is drawn: its code, the glyph the glyph map gives it, and its colours with the caret's
// inversion applied.
struct CellLook {
    std::uint16_t code = 0;
    char16_t glyph = 0;
    Colour fore = 0;
    Colour back = 0;
    bool operator==(const CellLook&) const = default;
};

// Whether the caret is drawn as its cell in swapped colours, or left to a cursor of the host's own (a
// terminal's).
enum class CaretLook { Inverted, Plain };

// Where everything is, in the view's client area: the grid, its cells, and the graphics plane's band with
// the picture enlarged into it.
struct ConsoleGeometry {
    int columns = 0;
    int rows = 0;
    int cellWidth = 1;
    int cellHeight = 1;
    int fontHeight = 0;
    // Rows above this one are under the plane and are not drawn as text.
    int firstTextRow = 0;
    int cursorColumn = 0;
    int cursorRow = 0;
    PixelRect client;
    PixelRect grid;
    // The band over the rows above firstTextRow (no height when there are none) and whether the plane shows
    // in it: it exists and covers rows. When it does not show, its size and the fit are all zero.
    PixelRect band;
    bool planeShown = false;
    int planeWidth = 0;
    int planeHeight = 0;
    // Whole enlargement factors and the centred picture; a factor of 0 shows no picture, only the frame.
    PlaneFit fit;

    PixelRect cellRect(int column, int row) const {
        const int left = grid.left + column * cellWidth;
        const int top = grid.top + row * cellHeight;
        return {left, top, left + cellWidth, top + cellHeight};
    }
    // The enlarged plane pixel (x, y) in the client area.
    PixelRect planePixelRect(int x, int y) const {
        const int left = fit.picture.left + x * fit.scaleX;
        const int top = fit.picture.top + y * fit.scaleY;
        return {left, top, left + fit.scaleX, top + fit.scaleY};
    }
    bool textRow(int row) const { return row >= firstTextRow && row < rows && row >= 0; }
};

class Console {
  public:
    // Does not call the view (which may not be finished yet); resetConsole brings the model to its known
    // state.
    // The transcript, when given, hears what is printed (the batch console's standard output).
    explicit Console(ConsoleView& view, ConsoleTranscript* transcript = nullptr);

    // Guards the screen model, the plane's pixels, the caret and the damage against a painter on another
    // thread. Every public operation takes it; a host holds it while it reads the model to draw.
    std::recursive_mutex& lock() const { return lock_; }

    // The model, read under lock().
    const TextScreen& screen() const { return screen_; }
    const GraphicsPlane& plane() const { return plane_; }
    // The input hand-off's line buffer (the line editor fills it on Enter); clearing the screen empties it.
    const char16_t* inputLine() const { return inputLine_; }
    // Puts an answer into the line buffer, cut to what it holds.
    void setInputLine(std::u16string_view text);
    // Caret state, set by the caret steps (caret.h) for the input hand-off.
    int caretColumn() const { return caretColumn_; }
    int caretRow() const { return caretRow_; }
    int caretOn() const { return caretOn_; }

    // --- drawing ---
    // What changed since the last call, which resets it; the host that draws calls this each time it draws.
    ScreenDamage takeDamage();
    // Everything is to be drawn again: the host's own area moved or was lost.
    void damageAll();
    // One cell as it is drawn; a cell outside the grid in use looks like code 0 in black on black.
    CellLook cellLook(int column, int row, CaretLook caret = CaretLook::Inverted) const;
    // The row's cells in use (at most GRID_CAPACITY of them) into looks; returns how many.
    int rowLook(int row, CellLook* looks, CaretLook caret = CaretLook::Inverted) const;
    ConsoleGeometry geometry() const;

    ConsoleView& view() { return view_; }

    // --- screen model ---
    void clearRow(int row);
    void clearAllRows();
    void clearScreen();
    std::uint16_t peekCell(int column, int row) const;
    int cursorColumn() const;
    int cursorRow() const;
    void setCursor(int column, int row);
    void locate(int column, int row);
    void setScrollRegion(int top, int height);
    int rowCount() const;
    void setForeground(Colour colour);
    void setBackground(Colour colour);
    void setConsoleSize(int columns, int rows, int fontHeight);
    void fitConsole(int width, int height, int fontHeight);
    void resetLayout();
    void resetConsole();

    // --- character output ---
    void putString(const char16_t* text) { writeText(text, 0); }
    void putProtectedString(const char16_t* text) { writeText(text, 1); }
    void writeText(const char16_t* text, int protect);
    // Writes the units as typed characters (no control codes act), as a line typed and entered leaves them.
    void echoTyped(const char16_t* text);
    void newLine();
    void tabForward();
    void eraseBack();
    void scrollUp();

    // --- layout on this device ---
    int squareSide() const;
    int defaultFontHeight() const;
    PixelRect consoleRect() const;

    // --- graphics plane ---
    // Returns false when the bitmap could not be made; the rows then stay with the text.
    bool openPlane(int rowsCovered, int width, int height);
    void closePlane();
    void clearPlane();
    void plotPoint(int x, int y);
    // plotPoint for a caller that already holds lock() (the interpreter keeps it over a run of PSETs).
    void plotPointLocked(int x, int y);
    Colour pointColour(int x, int y) const;

  private:
    // Stores c in the cell at the cursor and draws it; the cursor stays.
    void storeCell(char16_t c, int protect);
    // A character written: stored, told to the transcript, the cursor advanced (wrapping at the right edge).
    void putCharCell(char16_t c, int protect);
    // The cursor's step after a cell is written: the next column, or past the right edge a continued row and
    // a new line.
    void advanceCell();
    // The move to the next row; a wrap uses it directly, so that only asked-for new lines reach the
    // transcript.
    void advanceLine();
    void measureFont();
    // The line editor changes cells itself: whole rows of a logical line at once.
    void damageRows(int firstRow, int lastRow);

    friend class LineEditor;
    friend struct ConsolePeer;
    friend void placeCaret(Console&);
    friend void caretTick(Console&);
    friend void hideCaret(Console&);
    friend void redrawCaretCell(Console&);

    ConsoleView& view_;
    ConsoleTranscript* transcript_;

    mutable std::recursive_mutex lock_;
    TextScreen screen_;
    GraphicsPlane plane_;
    ScreenDamage damage_;
    char16_t inputLine_[INPUT_LINE_UNITS] = {};
    // The line and the caret live beside the cells because they change with them under one lock: CLS empties
    // the line, a scroll carries the caret up with the text, and every host draws the caret from here.
    std::int32_t caretColumn_ = 0;
    std::int32_t caretRow_ = -1;
    std::int32_t caretOn_ = 0;
};

} // namespace tavik
