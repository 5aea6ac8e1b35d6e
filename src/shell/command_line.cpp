#include "command_line.h"

#include "interpreter.h"

#include <charconv>
#include <cstdlib>
#include <vector>

namespace tavik {

namespace {

bool parseSide(std::string_view text, int& side) {
    if (text.empty() || text.size() > 4 || text[0] == '0') return false;
    for (char c : text)
        if (c < '0' || c > '9') return false; // no sign, no blanks, no exponent
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value < SCREEN_SIDE_MIN || value > SCREEN_SIDE_MAX) return false;
    side = value;
    return true;
}

CommandLine failure(std::string message) {
    CommandLine result;
    result.action = CommandLine::Action::Error;
    result.error = std::move(message);
    return result;
}

} // namespace

bool parseScreenSize(std::string_view text, int& width, int& height) {
    const auto x = text.find_first_of("xX");
    if (x == std::string_view::npos) return false;
    int w = 0, h = 0;
    if (!parseSide(text.substr(0, x), w) || !parseSide(text.substr(x + 1), h)) return false;
    width = w;
    height = h;
    return true;
}

CommandLine parseCommandLine(std::span<const std::string_view> args) {
    try {
        CommandLine result;
        bool optionsEnded = false;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string_view arg = args[i];
            const bool isOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
            if (!isOption) {
                if (result.file) return failure("more than one FILE given: '" + std::string(arg) + "'");
                result.file = std::string(arg);
            } else if (arg == "--") {
                optionsEnded = true;
            } else if (arg == "--help" || arg == "-h") {
                result.action = CommandLine::Action::Help;
                return result;
            } else if (arg == "--version") {
                result.action = CommandLine::Action::Version;
                return result;
            } else if (arg == "--batch") {
                if (result.terminal) return failure("--batch and --terminal cannot be given together");
                result.batch = true;
            } else if (arg == "--terminal") {
                if (result.batch) return failure("--batch and --terminal cannot be given together");
                result.terminal = true;
            } else if (arg == "--screen" || arg.starts_with("--screen=")) {
                std::string_view value;
                if (arg == "--screen") {
                    if (i + 1 == args.size()) return failure("--screen needs a size WxH");
                    value = args[++i];
                } else {
                    value = arg.substr(9);
                }
                if (!parseScreenSize(value, result.screenWidth, result.screenHeight))
                    return failure("bad screen size '" + std::string(value) + "': give WxH with each side " +
                                   std::to_string(SCREEN_SIDE_MIN) + ".." + std::to_string(SCREEN_SIDE_MAX));
            } else {
                return failure("unknown option '" + std::string(arg) + "'");
            }
        }
        return result;
    } catch (...) {
        return failure("out of memory reading the command line");
    }
}

CommandLine parseCommandLine(int argc, const char* const* argv) {
    try {
        std::vector<std::string_view> args;
        for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
        return parseCommandLine(std::span<const std::string_view>(args));
    } catch (...) {
        return failure("out of memory reading the command line");
    }
}

std::string versionText() {
    std::string text = "tavikWM ";
    for (const char16_t* p = VERSION_TEXT; *p != 0; ++p) text.push_back(static_cast<char>(*p));
    return text;
}

std::string usageText() {
    return "Usage: tavikwm [--batch | --terminal] [--screen WxH] [FILE]\n"
           "       tavikwm --help | --version\n"
           "\n"
           "tavikWM is a line-number BASIC computer. Without FILE it starts the console: a line that\n"
           "begins with a number is stored in the program, any other line runs at once. With FILE it\n"
           "first runs that program file as RUN \"FILE\" would; the batch console then ends when the\n"
           "run stops.\n"
           "\n"
           "Options:\n"
           "  --batch        run the console without a window: standard input stands for the keyboard\n"
           "                 and standard output receives what the console shows. Without --batch,\n"
           "                 tavikwm opens its window where it was built with one and a display is\n"
           "                 available (DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM set, and the\n"
           "                 display answers; if it does not, one line says why); otherwise\n"
           "                 the console runs full-screen in the terminal when standard input and\n"
           "                 output are one, and the batch console runs when either is not.\n"
           "  --terminal     run the console full-screen in the terminal even where a window could\n"
           "                 open (see Terminal below).\n"
           "  --screen WxH   the screen size in pixels, each side 100..4096 (default 480x640); also\n"
           "                 --screen=WxH. The console fits cells of 16 pixels into the largest square\n"
           "                 of the screen: 30 x 30 cells at 480x640 in the batch console.\n"
           "  --help, -h     show this text and exit\n"
           "  --version      show the version and exit\n"
           "  --             end of the options: a FILE whose name begins with '-' may follow\n"
           "\n"
           "FILE is a program as SAVE writes it (UTF-16LE with a byte-order mark) or UTF-8 text from\n"
           "any editor, with or without its mark; lines end in CR LF or LF.\n"
           "\n"
           "Batch console:\n"
           "  Standard input is read as UTF-8. A line request (a typed line, INPUT) takes one input\n"
           "  line without its line end, at most 255 characters (the rest is read as further lines),\n"
           "  and shows it as typed, unless standard input is a terminal, which has shown it already.\n"
           "  WAITCHAR takes the next character and WAITKEY its key code (letters as upper case); a\n"
           "  line end is Enter, 13. KEY is always 0.\n"
           "  Standard output receives the console's text as UTF-8, as it is written: a new line as\n"
           "  \"\\n\", a tab as spaces up to the next stop, a backspace as \"\\b\". The cursor moves of\n"
           "  LOCATE and CLS, colours and graphics are not shown.\n"
           "  At the end of the input a waiting request (and ORIENT -1) is answered with a break;\n"
           "  without FILE, tavikwm ends when it next waits for a typed line. Ctrl-C raises a break,\n"
           "  as the BREAK key does; a second Ctrl-C within one second ends tavikwm. A failed write\n"
           "  to standard output ends tavikwm with a line on standard error and status 1.\n"
           "\n"
           "Scripts (--batch FILE):\n"
           "  FILE is read once (it may be a pipe) and checked before anything runs. A first line\n"
           "  that begins with #! is skipped: '#!/usr/bin/env -S tavikwm --batch' makes a UTF-8\n"
           "  program an executable script. If the loader would refuse a line (a syntax error, line\n"
           "  number 0, an unnumbered line that begins with a number), nothing runs: each such line\n"
           "  goes to standard error as 'FILE:N: Syntax Error: TEXT' or 'FILE:N: Invalid Line\n"
           "  Number 0' (N counts every line of the file from 1), and the status is 1.\n"
           "  Otherwise standard output receives only what the program writes and the echo of the\n"
           "  answers it reads (no banner, no OK); the message that stops the run goes to standard\n"
           "  error as 'FILE: MESSAGE', e.g. 'err.tk: Divide by 0 in 20'.\n"
           "\n"
           "Terminal:\n"
           "  The terminal is the screen: each console cell is two columns, the bottom row is the\n"
           "  soft-key bar, and the terminal's size is the screen's (--screen does not apply). Ctrl+C is\n"
           "  BREAK (twice within a second ends tavikwm), F10 or Alt+M opens the MENU, Ctrl+A the About\n"
           "  box, Ctrl+Z suspends. Colours are 24-bit where COLORTERM is truecolor or 24bit. A click\n"
           "  places the cursor (the terminal reports the mouse while tavikwm runs; Shift with the\n"
           "  mouse selects text as usual).\n"
           "\n"
           "Editing (every console):\n"
           "  A click or tap on a cell places the cursor while a line is asked; Home, End and Delete\n"
           "  edit the line under the cursor. AUTO [start][,step] numbers the lines as you type them\n"
           "  (Enter on the number alone or Ctrl+C ends it), RENUM [new][,old][,step] renumbers the\n"
           "  program and its GOTO, GOSUB, THEN and RUN targets, DELETE a-b deletes lines (also a-,\n"
           "  -b, a). In the batch console AUTO's number is put before each line read.\n"
           "\n"
           "Exit status of the batch console (the window ends with 0):\n"
           "  0    a normal end: EXIT, the end of the input, or FILE ran to its end without an error\n"
           "  1    an error stopped the run of FILE, FILE could not be read or was refused, or\n"
           "       standard output failed\n"
           "  130  a break stopped the run of FILE, or a second Ctrl-C ended tavikwm\n"
           "  2    a bad command line\n"
           "\n"
           "The manual: share/doc/tavikwm/MANUAL.md where tavikWM is installed (/usr/local by default),\n"
           "with the example programs beside it in examples/; docs/MANUAL.md in the sources; and\n"
           "tavikwm(1).\n";
}

bool displayAvailable(const std::function<const char*(const char*)>& getEnvironment) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = getEnvironment(name);
        if (value != nullptr && value[0] != '\0') return true;
    }
    return false;
}

bool displayAvailable() {
    return displayAvailable([](const char* name) { return std::getenv(name); });
}

} // namespace tavik
