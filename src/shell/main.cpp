// tavikwm: reads the command line and starts the console.
#include "batch_session.h"
#include "command_line.h"
#include "terminal_host.h"
#include "window_loader.h"

#include <cstdio>
#include <exception>
#include <iostream>

namespace {

// The window starts when a display is available and its module loads; otherwise the batch console runs.
bool startWindow(int argc, char** argv, int& status) {
    if (!tavik::displayAvailable()) return false;
    std::string problem;
    if (tavik::runWindowModule(argc, argv, status, problem)) return true;
    std::cerr << "tavikwm: the window cannot be opened (" << problem
              << "); the console runs without a window\n";
    return false;
}

int run(int argc, char** argv) {
    const tavik::CommandLine commandLine = tavik::parseCommandLine(argc, argv);
    switch (commandLine.action) {
    case tavik::CommandLine::Action::Help: std::cout << tavik::usageText(); return 0;
    case tavik::CommandLine::Action::Version: std::cout << tavik::versionText() << '\n'; return 0;
    case tavik::CommandLine::Action::Error:
        std::cerr << "tavikwm: " << commandLine.error << "\nTry 'tavikwm --help' for more information.\n";
        return tavik::EXIT_USAGE;
    case tavik::CommandLine::Action::Run: break;
    }

    int status = 0;
    if (!commandLine.batch && !commandLine.terminal && startWindow(argc, argv, status)) return status;
    // Without a window: the terminal when both sides are one, else the batch console.
    if (!commandLine.batch) {
        if (tavik::terminalAvailable()) {
            tavik::TerminalOptions terminal;
            terminal.file = commandLine.file;
            return tavik::runTerminal(terminal);
        }
        if (commandLine.terminal)
            std::cerr << "tavikwm: --terminal needs a terminal on standard input and output; the batch "
                         "console runs instead\n";
    }

    tavik::BatchOptions options;
    options.width = commandLine.screenWidth;
    options.height = commandLine.screenHeight;
    options.file = commandLine.file;
    options.handleInterrupt = true;
    return tavik::runBatch(options);
}

} // namespace

int main(int argc, char** argv) {
    int status = 1;
    try {
        status = run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "tavikwm: " << e.what() << '\n';
    } catch (...) {
        std::cerr << "tavikwm: unexpected failure\n";
    }
    std::cout.flush();
    std::fflush(stdout);
    return status;
}
