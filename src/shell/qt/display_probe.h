#pragma once
// Whether the toolkit will be able to open a window. The toolkit ends the process when it cannot reach any
// display (a stale DISPLAY in an SSH session, a compositor that has gone), so the display is tried first,
// the way the toolkit would try it, and an unreachable one counts as no display at all.
#include <string>

namespace tavik {

// True when a window can open; otherwise false, with why in one line (no trailing full stop).
bool displayCanOpen(std::string& why);

// Closes the connection an X probe that succeeded keeps open; called once the toolkit is connected.
void releaseDisplayProbe();

} // namespace tavik
