#pragma once
// The one console: the screen model, character output and scrolling, sizing, and the graphics plane.
// The interpreter prints through it; the line editor edits it; a view shows it.
#include "console_transcript.h"
#include "console_view.h"
#include "graphics_plane.h"
#include "text_screen.h"

#include <cstdint>
#include <mutex>

namespace tavik {

constexpr int INPUT_LINE_UNITS = 256;

class Console {
  public:
    // Does not call the view (which may not be finished yet); resetConsole brings the model to its known
    // state.
    // The transcript, when given, hears what is printed (the batch console's standard output).
    explicit Console(ConsoleView& view, ConsoleTranscript* transcript = nullptr);

    // Guards the screen model and the plane's pixels against a painter on another thread. Every public
    // operation takes it; a view reads the model while holding it.
    mutable std::recursive_mutex lock;

    TextScreen screen;
    GraphicsPlane plane;
    // The input hand-off's line buffer; clearing the screen empties it.
    char16_t inputLine[INPUT_LINE_UNITS] = {};
    // Caret state, set by the caret steps (caret.h) for the input hand-off; scrolling moves caretRow up with
    // the text. The line and the caret live beside the cells because they change with them under one lock:
    // CLS empties the line, a scroll carries the caret, and every host draws the caret from here.
    std::int32_t caretColumn = 0;
    std::int32_t caretRow = -1;
    std::int32_t caretOn = 0;

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

    ConsoleView& view_;
    ConsoleTranscript* transcript_;
};

} // namespace tavik
