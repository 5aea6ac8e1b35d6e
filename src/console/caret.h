#pragma once
// The blinking caret of an open input request. Its state lives in the Console (caretColumn, caretRow,
// caretOn) so that scrolling can carry it up with the text; these steps run on the user-interface thread.
// While caretOn is 1 the cell at (caretColumn, caretRow) looks as its colours swapped (Console::cellLook).
#include "console.h"

namespace tavik {

// A request opens: the caret cell is the cursor's; it first shows at the next tick.
void placeCaret(Console& console);
// One 500 ms blink step: the caret follows the cursor, then toggles.
void caretTick(Console& console);
// The request ended: the caret is hidden at once.
void hideCaret(Console& console);
// Damages the caret's cell and asks the view to repaint; nothing when the caret has scrolled off or is
// under the graphics plane (those rows are never drawn as text).
void redrawCaretCell(Console& console);

} // namespace tavik
