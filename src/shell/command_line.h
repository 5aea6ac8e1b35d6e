#pragma once
// The program's command line: tavikwm [--batch | --terminal] [--screen WxH] [--help] [--version] [FILE].
#include "exit_status.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tavik {

// Each side of --screen, in logical pixels.
constexpr int SCREEN_SIDE_MIN = 100;
constexpr int SCREEN_SIDE_MAX = 4096;

struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    bool batch = false;
    // The console in the terminal even where a window could open.
    bool terminal = false;
    int screenWidth = 480;
    int screenHeight = 640;
    std::optional<std::string> file;
    // What was wrong, for Action::Error.
    std::string error;
};

// Options are read left to right: --help and --version act as soon as they are met, the first bad argument
// makes the whole line an error. Options may follow FILE; "--" ends the options. Never throws.
CommandLine parseCommandLine(std::span<const std::string_view> args);
CommandLine parseCommandLine(int argc, const char* const* argv);

// "WxH" with both sides decimal and within SCREEN_SIDE_MIN..SCREEN_SIDE_MAX.
bool parseScreenSize(std::string_view text, int& width, int& height);

// A display to open a window on: an X or Wayland display, or a Qt platform named outright. Decided from
// the environment alone, so that the batch console never loads the window system to find out.
bool displayAvailable(const std::function<const char*(const char*)>& getEnvironment);
bool displayAvailable();

std::string versionText();
std::string usageText();

} // namespace tavik
