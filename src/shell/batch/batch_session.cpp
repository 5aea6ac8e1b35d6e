#include "batch_session.h"

#include "batch_input.h"
#include "exit_status.h"
#include "fd_streams.h"
#include "interpreter.h"
#include "machine.h"
#include "script_check.h"
#include "utf8.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <unistd.h>

namespace tavik {

namespace {

std::atomic<std::atomic<int>*> interruptTarget{nullptr};
DoubleBreak interrupts;
static_assert(std::atomic<std::atomic<int>*>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the Ctrl-C handler may touch lock-free atomics only");

extern "C" void onInterrupt(int) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
    if (interrupts.endsProgram(ms)) _exit(EXIT_BREAK);
    if (std::atomic<int>* target = interruptTarget.load()) target->store(1);
}

// Ctrl-C raises a break. No SA_RESTART: a read waiting for the keyboard returns and the break answers it.
class InterruptHandler {
  public:
    explicit InterruptHandler(std::atomic<int>* target) {
        interruptTarget.store(target);
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        installed_ = sigaction(SIGINT, &action, &previous_) == 0;
    }
    ~InterruptHandler() {
        if (installed_) sigaction(SIGINT, &previous_, nullptr);
        interruptTarget.store(nullptr);
    }
    InterruptHandler(const InterruptHandler&) = delete;
    InterruptHandler& operator=(const InterruptHandler&) = delete;

  private:
    struct sigaction previous_ {};
    bool installed_ = false;
};

enum class ScriptRead { Done, Failed, Broken };

// The whole file, read once: it may be a pipe. Failed when it cannot be read or is too large for a program;
// Broken when a break stopped the wait for it.
ScriptRead readScript(const std::string& file, std::string& bytes, const std::atomic<int>& breakFlag) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ScriptRead::Failed;
    ScriptRead result = ScriptRead::Done;
    char chunk[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got == 0) break;
        if (got < 0 && errno == EINTR) {
            if (breakFlag.load() == 0) continue;
            result = ScriptRead::Broken;
            break;
        }
        if (got < 0 || bytes.size() + static_cast<std::size_t>(got) > SCRIPT_MAX_BYTES) {
            result = ScriptRead::Failed; // a folder, a read error, no program's size
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);
    // A Ctrl-C that came as the reading ended stops it all the same.
    if (result == ScriptRead::Done && breakFlag.load() != 0) result = ScriptRead::Broken;
    return result;
}

// FILE run as RUN "FILE" runs it, once it has been read and checked whole. Only what the program writes
// goes to the output; the message that stops the run goes to err, and gives the status.
int runScript(Interpreter& interpreter, BatchView& view, const std::string& file, std::ostream& err,
              bool errorIsTerminal) {
    const std::u16string name = utf16FromUtf8(file);
    std::string bytes;
    // A name too long for any program file is refused whole, never cut to another name.
    const ScriptRead read = name.size() > MAX_FILE_NAME_UNITS
                                ? ScriptRead::Failed
                                : readScript(file, bytes, interpreter.breakRequested);
    if (read == ScriptRead::Broken) {
        err << file << ": Break in 0\n";
        return EXIT_BREAK;
    }
    if (read == ScriptRead::Failed) {
        err << file << ": File Not Found or Load Error in 0\n";
        return EXIT_ERROR;
    }
    if (!checkScript(bytes, file, err, errorIsTerminal)) return EXIT_ERROR;

    ScriptSource lines(bytes);
    interpreter.resetInterpreter();
    interpreter.requestRunFile(name.c_str());
    view.setHoldMessages(true);
    interpreter.runUntilDirect(&lines); // to the end of the run, or EXIT
    view.setHoldMessages(false);
    const auto stop = view.takeHeldMessage();
    if (!stop || view.failed()) return EXIT_NORMAL;
    view.flush(); // what the program wrote comes before the message that ends it
    err << file << ": " << stop->text << '\n';
    return stop->isBreak ? EXIT_BREAK : EXIT_ERROR;
}

} // namespace

int runBatchSession(std::istream& in, std::ostream& out, std::ostream& err, const BatchOptions& options) {
    // The console and the interpreter are large: they live on the heap.
    auto view = std::make_unique<BatchView>(out, options.width, options.height);
    view->setFlushAtNewLine(options.outputIsTerminal);
    view->setReplaceControls(options.outputIsTerminal);
    auto machine =
        std::make_unique<Machine<BatchHost>>(*view, view.get(), *view, in, options.inputIsTerminal);
    // A failed write stops the run at its next statement, and every wait gives up.
    view->setOnFailure([&flag = machine->interpreter.breakRequested] { flag.store(1); });

    std::optional<InterruptHandler> interrupt;
    if (options.handleInterrupt) interrupt.emplace(&machine->interpreter.breakRequested);

    int status = EXIT_NORMAL;
    if (options.file) {
        status = runScript(machine->interpreter, *view, *options.file, err, options.errorIsTerminal);
    } else {
        machine->start();
        machine->interpreter.interpreterLoop(); // returns on EXIT or at the end of the input
    }
    interrupt.reset();
    view->finish();
    if (view->failed()) {
        err << "tavikwm: standard output: " << view->failureText() << '\n';
        return EXIT_ERROR;
    }
    return status;
}

int runBatch(const BatchOptions& options) {
    FdInputBuffer inputBuffer(STDIN_FILENO);
    std::istream in(&inputBuffer);
    FdOutputBuffer outputBuffer(STDOUT_FILENO);
    std::ostream out(&outputBuffer);
    BatchOptions o = options;
    o.inputIsTerminal = isatty(STDIN_FILENO) == 1;
    o.outputIsTerminal = isatty(STDOUT_FILENO) == 1;
    o.errorIsTerminal = isatty(STDERR_FILENO) == 1;
    return runBatchSession(in, out, std::cerr, o);
}

} // namespace tavik
