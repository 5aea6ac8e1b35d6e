#pragma once
// The console's text as plain text: what Copy Screen puts on the clipboard and what a screen mirror shows.
// One line per row of the grid, its trailing blanks trimmed. Colours, protection and the graphics plane are
// left out; rows under the plane keep the text stored in them.
#include "console.h"

#include <string>

namespace tavik {

// The text of one row: a blank cell (0, space or ideographic space) inside the row reads as a space, as do
// the control codes the line editor stores (tab excepted), so that the text never carries a stray control
// code; trailing blanks are trimmed. A row outside the grid in use reads as empty.
std::u16string rowText(const TextScreen& screen, int row);

// Every row of the grid in use, each ended by a line feed. Takes the console's lock.
std::u16string screenText(const Console& console);

} // namespace tavik
