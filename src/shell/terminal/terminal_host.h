#pragma once
// The console in a terminal: the third host beside the window and the batch console. The terminal is the
// device's screen (two columns by one row per console cell, the bottom row the soft-key bar), its keyboard
// the device's keys. The user-interface thread is the one that calls runTerminal: it reads the keys, carries
// out posted requests, blinks the caret, and sends at most one frame every 15 ms, of the cells that changed.
#include <optional>
#include <string>

namespace tavik {

// The most frames sent in a second: one every FRAME_INTERVAL_MS.
constexpr int FRAME_INTERVAL_MS = 15;
// A key reads as held for this long after the terminal sent it (terminals report no releases); a held key
// repeats sooner, so it stays down while it is held.
constexpr int KEY_HOLD_MS = 600;

struct TerminalOptions {
    // UTF-8 name of a program file to run first, as the menu's Run... runs it.
    std::optional<std::string> file;
};

// Standard input and output are both a terminal that can show this console: not TERM=dumb.
bool terminalAvailable();

// Runs the console on the terminal of standard input and output until EXIT, the menu's Exit, a double
// Ctrl+C, a signal that ends it or the terminal going away; leaves the terminal as it found it and returns
// the exit status (EXIT_NORMAL for EXIT and Exit, EXIT_BREAK for the double Ctrl+C, exitStatusForSignal
// otherwise).
int runTerminal(const TerminalOptions& options);

} // namespace tavik
