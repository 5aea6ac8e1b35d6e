#pragma once
// How tavikwm ends, named once for every host: the process's exit statuses, and the rule that a second
// break soon after the first ends the program (the user who presses Ctrl-C twice wants out, whatever runs).
#include <atomic>
#include <cstdint>

namespace tavik {

// EXIT, the menu's Exit, the end of the input, a script that ran to its end.
constexpr int EXIT_NORMAL = 0;
// An error stopped a script, a script could not be read or was refused, the output failed, a console
// could not be set up.
constexpr int EXIT_ERROR = 1;
// A command line that cannot be used.
constexpr int EXIT_USAGE = 2;
// A signal ended the program: 128 and its number, as a shell reports it.
constexpr int exitStatusForSignal(int signal) {
    return 128 + signal;
}
// A break stopped a script, or a second break ended the program: as if Ctrl-C (SIGINT, 2) had ended it.
constexpr int EXIT_BREAK = exitStatusForSignal(2);

// Two breaks less than this far apart end the program with EXIT_BREAK.
constexpr std::uint32_t DOUBLE_BREAK_MS = 1000;

// The double-break rule over a millisecond clock (wrapping, as GetTickCount does). Plain lock-free
// atomics only, so that a signal handler may use it.
class DoubleBreak {
  public:
    // A break at nowMs: true when it is the second within DOUBLE_BREAK_MS, which ends the program.
    bool endsProgram(std::uint32_t nowMs) {
        const bool second = seen_.load() && nowMs - lastMs_.load() < DOUBLE_BREAK_MS;
        lastMs_.store(nowMs);
        seen_.store(true);
        return second;
    }

  private:
    std::atomic<bool> seen_{false};
    std::atomic<std::uint32_t> lastMs_{0};
    static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<std::uint32_t>::is_always_lock_free,
                  "a signal handler may touch lock-free atomics only");
};

} // namespace tavik
