#pragma once
// Starting the windowed console from the command line.
#include "command_line.h"

#include <functional>

namespace tavik {

// A display to open a window on: an X or Wayland display, or a Qt platform named outright.
bool displayAvailable(const std::function<const char*(const char*)>& getEnvironment);
bool displayAvailable();

// Opens the window (or brings the running one to the front and returns 0), runs until it closes, and
// returns the process's exit status. FILE, when given, is run as `run "FILE"` would run it.
int runWindow(const CommandLine& commandLine);

} // namespace tavik
