// tavikwm: reads the command line and starts the console.
#include "batch_host.h"
#include "command_line.h"
#if defined(TAVIK_HAVE_WINDOW)
#include "window_app.h"
#endif

#include <cstdio>
#include <exception>
#include <iostream>

namespace {

// The window starts when a display is available and the program was built with it; otherwise the batch
// console runs.
bool startWindow(const tavik::CommandLine& commandLine, int& status) {
#if defined(TAVIK_HAVE_WINDOW)
    if (!tavik::displayAvailable()) return false;
    status = tavik::runWindow(commandLine);
    return true;
#else
    (void)commandLine;
    (void)status;
    return false;
#endif
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
    if (!commandLine.batch && startWindow(commandLine, status)) return status;

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
