#include "command_line.h"

#include "interpreter.h"

#include <charconv>
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
                result.batch = true;
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
    return "Usage: tavikwm [--batch] [--screen WxH] [FILE]\n"
           "       tavikwm --help | --version\n"
           "\n"
           "A line-number BASIC computer. Without FILE it starts the console: lines with a number are\n"
           "stored in the program, other lines run at once. With FILE it runs that program file.\n"
           "\n"
           "Options:\n"
           "  --batch        run the console without a window: standard input is the keyboard, standard\n"
           "                 output receives what the console shows, as UTF-8 (the only mode so far)\n"
           "  --screen WxH   the screen size in pixels, each side 100..4096 (default 480x640)\n"
           "  --help, -h     show this text\n"
           "  --version      show the version\n"
           "\n"
           "Batch mode:\n"
           "  A line request reads one input line (at most 255 characters; the rest is read as further\n"
           "  lines) and shows it as typed. WAITCHAR reads the next character, WAITKEY its key code; a line\n"
           "  end is Enter (13). At the end of the input a waiting request is broken off with a break.\n"
           "  Ctrl-C raises a break; a second Ctrl-C within one second ends the program.\n"
           "  With FILE only what the run prints is written, and the program ends when the run stops.\n"
           "\n"
           "Exit status:\n"
           "  0    normal end: EXIT, end of the input, or FILE ran to its end (or END, EXIT)\n"
           "  1    an error stopped the run of FILE\n"
           "  130  a break stopped the run of FILE, or a second Ctrl-C ended the program\n"
           "  2    bad command line\n";
}

} // namespace tavik
