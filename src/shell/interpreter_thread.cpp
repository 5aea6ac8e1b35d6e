#include "interpreter_thread.h"

#include <chrono>

#if defined(__linux__)
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace tavik {

namespace {

// How often a stop raises the break again: a run that starts just after a break clears it, so one break
// is not enough to be sure the loop comes back.
constexpr auto BREAK_REPEAT = std::chrono::milliseconds(10);

} // namespace

void lowerCurrentThreadPriority() {
#if defined(__linux__)
    // On Linux a thread has its own nice value, addressed by its thread id; a higher value is a lower
    // priority, and raising it needs no privilege.
    constexpr int BELOW_NORMAL = 2;
    const id_t self = static_cast<id_t>(::gettid());
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, self);
    if (errno == 0) (void)::setpriority(PRIO_PROCESS, self, current + BELOW_NORMAL);
#endif
}

InterpreterThread::InterpreterThread(Interpreter& interpreter, InputHandoff& handoff, WindowPort& window)
    : interpreter_(interpreter), handoff_(handoff), window_(window) {
    handoff_.setBreakFlag(&interpreter_.breakRequested);
}

InterpreterThread::~InterpreterThread() {
    stop();
}

void InterpreterThread::start() {
    if (thread_.joinable()) return;
    thread_ = std::thread([this] { run(); });
}

void InterpreterThread::run() {
    lowerCurrentThreadPriority();
    interpreter_.interpreterLoop();
    // A loop that returned because the application is ending has nobody left to ask.
    if (!handoff_.shuttingDown()) window_.postClose();
    {
        std::lock_guard<std::mutex> hold(mutex_);
        finished_ = true;
    }
    ended_.notify_all();
}

void InterpreterThread::stop() {
    if (!thread_.joinable()) return;
    handoff_.shutdown();
    {
        std::unique_lock<std::mutex> hold(mutex_);
        while (!ended_.wait_for(hold, BREAK_REPEAT, [&] { return finished_; })) handoff_.raiseBreak();
    }
    thread_.join();
}

bool InterpreterThread::finished() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return finished_;
}

} // namespace tavik
