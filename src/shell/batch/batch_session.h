#pragma once
// The batch console as a whole: the same interpreter and console model with no window. The screen is
// virtual, what the console is given to show goes to standard output as UTF-8, standard input stands for the
// keyboard. Scripts run programs through it and whole typed sessions are tested with it.
#include "batch_view.h"

#include <istream>
#include <optional>
#include <ostream>
#include <string>

namespace tavik {

struct BatchOptions {
    int width = BATCH_DEFAULT_WIDTH;
    int height = BATCH_DEFAULT_HEIGHT;
    // UTF-8 name of a program file to run instead of the interactive console.
    std::optional<std::string> file;
    bool inputIsTerminal = false;
    bool outputIsTerminal = false;
    bool errorIsTerminal = false; // a refused line of FILE is shown on it without its controls
    // Install the Ctrl-C handler (a break; a second within DOUBLE_BREAK_MS ends the process with EXIT_BREAK).
    bool handleInterrupt = false;
};

// Runs the batch console over the given streams until EXIT, the end of the input or (with a file) the end of
// the run, and returns the process's exit status: EXIT_NORMAL, EXIT_ERROR when an error stopped the script
// or the output failed, EXIT_BREAK when a break stopped the script. Everything written has been flushed when
// it returns. err receives the script's refused lines and the message that stopped it, and a failure of the
// output.
int runBatchSession(std::istream& in, std::ostream& out, std::ostream& err, const BatchOptions& options);

// The same on standard input and output.
int runBatch(const BatchOptions& options);

} // namespace tavik
