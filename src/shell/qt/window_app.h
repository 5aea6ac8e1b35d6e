#pragma once
// Starting the windowed console from the command line.
#include "command_line.h"

namespace tavik {

// Opens the window (or brings the running one to the front and returns 0), runs until it closes, and
// returns the process's exit status. FILE, when given, is run as `run "FILE"` would run it.
int runWindow(const CommandLine& commandLine);

} // namespace tavik
