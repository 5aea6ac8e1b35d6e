#pragma once
// The window lives in a module of its own, loaded only when a window is to be opened: the batch console
// then starts without the window system's libraries, in a few milliseconds and a few megabytes.
#include <string>

namespace tavik {

// The module's one entry point: reads the command line itself and runs the window to its end.
using WindowEntry = int (*)(int argc, char** argv);
inline constexpr const char* WINDOW_ENTRY_NAME = "tavikwm_window_main";
// Asked first: 1 when a window can open, else 0 with why in the buffer (a display that cannot be reached).
using WindowProbe = int (*)(char* why, int size);
inline constexpr const char* WINDOW_PROBE_NAME = "tavikwm_window_probe";
inline constexpr const char* WINDOW_MODULE_NAME = "tavikwm-window.so";

// Loads the module from beside the executable (a build tree) or from the installed library folder, and
// runs the window. False, with why in `problem`, when the module cannot be loaded or no display can be
// opened (a window cannot open here: go on without one); `status` is then unset.
bool runWindowModule(int argc, char** argv, int& status, std::string& problem);

} // namespace tavik
