#pragma once
// Paste: text from the desktop's clipboard typed into the console as the user would type it, so that a
// listing copied from an editor or a web page becomes the program.
//
// - Lines end at LF, CR LF or CR. Each complete line is typed and submitted with Enter at a line request; a
//   last line without an end is typed and left for the user to finish.
// - Control codes other than tab (C0, DEL and C1) are dropped: a paste can neither clear the screen nor
//   break, and it never submits a line its text did not end.
// - A line longer than the console's longest line (255 units once its control codes are dropped) would be
//   cut when submitted, so such a paste is refused whole, before anything is typed. So is a line the grid
//   cannot hold: on a very small console (a tiny window, WIDTH) typing it would ring the bell and drop
//   characters, or scroll its start away.
//
// While a program runs, a paste types ahead: its lines answer the program's line requests (INPUT) and then
// the prompt's, one line per request, in order; nothing is lost while no request is open. A program's
// character and key requests (WAITCHAR, WAITKEY) are not answered by a paste: they wait for the keyboard.
// BREAK, a menu command, or Ctrl-C takes back whatever of the paste has not been typed yet.
//
// Host-independent: every host hands its clipboard text here and shows the message of a refused paste.
#include "handoff.h"

#include <string>
#include <string_view>

namespace tavik {

// The longest line a paste may hold, in UTF-16 units: what the line editor submits.
constexpr int PASTE_LINE_UNITS = 255;

struct PastePlan {
    // The units to type: text, tabs and a carriage return at the end of every complete line.
    std::u16string units;
    // 0 when the paste may be typed; otherwise the first over-long line, counting from 1, and its length.
    int refusedLine = 0;
    int refusedUnits = 0;
};

// Splits and cleans clipboard text; the plan's units are empty when a line is over lineLimit units.
PastePlan planPaste(std::u16string_view text, int lineLimit = PASTE_LINE_UNITS);

// The longest line a paste may hold on this console: PASTE_LINE_UNITS, or what the grid can take whole
// with a row to spare for the text before it (columns x (rows - 1) - 1), whichever is less.
int pasteLineLimit(const Console& console);

// What pasting text did.
struct PasteResult {
    enum Outcome { Typed, Empty, Refused } outcome = Empty;
    int refusedLine = 0;
    int refusedUnits = 0;
    // The longest line this console took (pasteLineLimit).
    int lineLimit = PASTE_LINE_UNITS;
};

// Plans text against the hand-off console's pasteLineLimit and, unless it is refused or empty, types it
// through the hand-off (InputHandoff::typeAhead).
// User-interface thread.
PasteResult pasteText(InputHandoff& handoff, std::u16string_view text);

// The message a host shows for a refused paste, in UTF-8 ("" for any other outcome), e.g.
// "Nothing was pasted: line 3 has 300 characters, and a line holds at most 255." (or the smaller limit of
// a small console).
std::string pasteMessage(const PasteResult& result);

} // namespace tavik
