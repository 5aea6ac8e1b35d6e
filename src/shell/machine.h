#pragma once
// The computer every host stands on, built in one place: the console over the host's view, the keyboard the
// interpreter reads (the input hand-off, or the batch console's standard input), the interpreter, their
// break flag wired together, and for a host with two threads the interpreter's own thread. A host makes one
// and adds only its screen and its keys. The parts are large (the program area alone is 48 KiB): a host
// keeps its machine on the heap.
#include "console.h"
#include "handoff.h"
#include "interpreter.h"
#include "interpreter_thread.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace tavik {

// Keyboard is the interpreter's Host; it is built from the console and the arguments that follow the view,
// and takes the interpreter's break flag (setBreakFlag).
template <class Keyboard> class Machine {
  public:
    template <class... KeyboardArgs>
    explicit Machine(ConsoleView& view, ConsoleTranscript* transcript, KeyboardArgs&&... keyboardArgs)
        : console(view, transcript), keyboard(console, std::forward<KeyboardArgs>(keyboardArgs)...),
          interpreter(console, keyboard) {
        keyboard.setBreakFlag(&interpreter.breakRequested);
    }
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // Resets the interpreter (the banner shows) and asks it to run FILE first when one is given, as the
    // menu's Run... runs it. The interpreter loop runs next, on whichever thread the host gives it.
    void start(const std::optional<std::u16string>& file = std::nullopt) {
        interpreter.startInterpreter();
        if (file) interpreter.requestRunFile(file->c_str());
    }

    Console console;
    Keyboard keyboard;
    Interpreter interpreter;
};

// A host with a user-interface thread of its own (the window, the terminal): the hand-off and the
// interpreter's thread, which asks the window to close when the loop returns.
class ThreadedMachine : public Machine<InputHandoff> {
  public:
    ThreadedMachine(ConsoleView& view, WindowPort& window, ScreenPort& screen)
        : Machine<InputHandoff>(view, nullptr, window, screen), thread(interpreter, keyboard, window) {}
    ~ThreadedMachine() { stop(); }

    InputHandoff& handoff() { return keyboard; }

    // Resets the interpreter, asks for FILE, and starts the thread, which soon asks for the first line.
    void start(const std::optional<std::u16string>& file = std::nullopt) {
        Machine<InputHandoff>::start(file);
        thread.start();
    }
    // Wakes every wait of the interpreter thread and joins it, wherever it stands. Safe more than once.
    void stop() {
        keyboard.shutdown();
        thread.stop();
    }

    InterpreterThread thread;
};

} // namespace tavik
