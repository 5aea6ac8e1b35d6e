#pragma once
// The full-screen line editor: the screen itself is the edit buffer. Typed characters are inserted at the
// cursor and reflow the logical line (rows joined by their continuation flags), Backspace deletes before
// the cursor, the arrow keys roam the whole grid, and Enter collects the logical line under the cursor into
// the console's inputLine. It keeps no state between keys.
#include "console.h"

#include <cstdint>

namespace tavik {

// Windows virtual-key codes of the cursor keys.
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
// The line-editing keys beside them; in key mode they are only codes.
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_DELETE = 0x2E;

// The longest line Enter submits, in UTF-16 units; inputLine holds it and its terminator.
constexpr int SUBMITTED_LINE_UNITS = INPUT_LINE_UNITS - 1;

class LineEditor {
  public:
    explicit LineEditor(Console& console) : console_(console) {}

    // One typed UTF-16 unit. Returns 1 when it was Enter: the line is then in console.inputLine and the
    // cursor stands at the start of the row after it; handing the line over is the caller's part.
    // Backspace (8), Ctrl+K (11, top-left of the grid) and Ctrl+L (12, clear screen) act; every other unit,
    // control codes included, is inserted as it is.
    int editKey(char16_t ch);
    // VK_LEFT/UP/RIGHT/DOWN move the cursor within the whole grid; other codes do nothing.
    void moveCursorKey(int vk);
    // A key press in line mode: the cursor keys as moveCursorKey; Home to the logical line's first
    // unprotected cell, End to just after its last non-blank cell, Delete removes the cell under the cursor
    // and pulls the line up. Other codes do nothing.
    void editKeyDown(int vk);
    // A click or tap on the cell: the cursor moves there. Cells outside the grid and protected (prompt)
    // cells are refused: false, and the cursor stays.
    bool placeCursor(int column, int row);

    // The editing steps editKey uses.
    void insertChar(char16_t ch);
    void deleteChar();
    // Copies the logical line around the cursor into inputLine (protected cells left out, trailing blanks of
    // its last row dropped, at most SUBMITTED_LINE_UNITS units) and returns the row where it stopped.
    int collectLine();

  private:
    Console& console_;
};

} // namespace tavik
