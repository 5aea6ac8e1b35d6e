#pragma once
// The interpreter's own thread: it runs the interpreter loop below the user-interface thread's priority and
// asks the window to close when the loop returns (EXIT). The window ends it on closing: every wait is woken
// through the hand-off and the thread is joined, wherever it stood.
#include "handoff.h"
#include "interpreter.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace tavik {

class InterpreterThread {
  public:
    // The interpreter's host must be the hand-off; its break flag is wired to the interpreter's here.
    InterpreterThread(Interpreter& interpreter, InputHandoff& handoff, WindowPort& window);
    ~InterpreterThread();
    InterpreterThread(const InterpreterThread&) = delete;
    InterpreterThread& operator=(const InterpreterThread&) = delete;

    // Starts the thread on interpreterLoop; the interpreter has been started (startInterpreter) before.
    void start();
    // Ends and joins the thread: the hand-off is shut down and breaks are raised until the loop returns. A
    // thread that has ended already is only joined. Safe to call more than once.
    void stop();
    // The interpreter loop has returned.
    bool finished() const;

  private:
    void run();

    Interpreter& interpreter_;
    InputHandoff& handoff_;
    WindowPort& window_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable ended_;
    bool finished_ = false;
};

// Lowers the calling thread's scheduling priority one notch below normal where the OS allows it; a refusal
// is not an error.
void lowerCurrentThreadPriority();

} // namespace tavik
