#pragma once
// The input hand-off between the interpreter thread and the user-interface thread. The interpreter asks for
// a line, a character or a key (Host::requestInput): the request is posted to the window, and the
// interpreter blocks until the user-interface thread has put the answer into the console's inputLine. The
// user-interface side opens the request, runs the line editor or takes the single code, blinks the caret,
// types command texts on the user's behalf and raises breaks. Plain C++: the window is reached only through
// WindowPort and ScreenPort.
#include "console.h"
#include "host.h"
#include "line_editor.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string_view>

namespace tavik {

// What the hand-off asks of the main window. The posts may come from either thread and only queue: the
// window delivers each on its own (user-interface) thread, in the order they were posted, relative to the
// key and character messages it delivers too.
class WindowPort {
  public:
    virtual ~WindowPort() = default;
    // Interpreter thread: deliver InputHandoff::handleInputRequest(mode).
    virtual void postInputRequest(InputMode mode) = 0;
    // User-interface thread (typeForUser): deliver InputHandoff::handleChar(BREAK_CHAR).
    virtual void postBreakChar() = 0;
    // Interpreter thread, once the interpreter loop has ended (EXIT): close the window.
    virtual void postClose() = 0;
    // User-interface thread: the caret timer, which delivers InputHandoff::handleTimer every 500 ms until it
    // is stopped. Starting a running timer restarts it; stopping a stopped one does nothing.
    virtual void startCaretTimer() = 0;
    virtual void stopCaretTimer() = 0;
};

// The device's screen as the interpreter sees it. Called from the interpreter thread. The size is the
// ScreenShape every view answers too, so a window that is both implements it once.
class ScreenPort : public ScreenShape {
  public:
    // 0 portrait, 1 or 4 landscape. The window may turn later: the waiting orient polls the size.
    virtual void changeOrientation(int displayOrientation) = 0;
};

// A host without a second thread (the web page): the interpreter runs on the host's own thread and gives
// the host's event loop its turn wherever it would otherwise block. The hand-off then never blocks: a wait
// for an answer, a sleep, are loops that pump the host's events until the answer is there, the time is up
// or the application ends.
class EventPump {
  public:
    virtual ~EventPump() = default;
    // Lets the host's events in (keys, soft keys, timers, painting) for about ms milliseconds, at least
    // once, then returns. The handlers it runs may call the hand-off's user-interface side.
    virtual void pumpEvents(int ms) = 0;
};

// What typeForUser did with a command text.
enum class TypeResult {
    Accepted,
    // More than PENDING_INPUT_UNITS units: nothing was done; the menu reports it.
    TooLong,
    // Not empty and not one line ending in a carriage return (13): nothing was done.
    NotALine,
};

// The longest command text typeForUser takes, in UTF-16 units.
constexpr int PENDING_INPUT_UNITS = 255;

class InputHandoff : public Host {
  public:
    // With a pump the hand-off is single-threaded: both sides run on the one thread the pump belongs to.
    InputHandoff(Console& console, WindowPort& window, ScreenPort& screen, EventPump* pump = nullptr);
    InputHandoff(const InputHandoff&) = delete;
    InputHandoff& operator=(const InputHandoff&) = delete;

    // The flag a break raises: the interpreter's breakRequested, known once the interpreter exists.
    void setBreakFlag(std::atomic<int>* flag) { breakFlag_ = flag; }

    // --- Host, on the interpreter thread ---
    bool requestInput(char16_t* buffer, int capacity, InputMode mode) override;
    std::uint32_t tickCount() override;
    void sleepMs(int ms) override;
    bool keyDown(int virtualKey) override;
    int screenWidth() const override { return screen_.screenWidth(); }
    int screenHeight() const override { return screen_.screenHeight(); }
    void changeOrientation(int displayOrientation) override { screen_.changeOrientation(displayOrientation); }
    bool shuttingDown() override { return closing_.load(); }

    // --- the user-interface thread ---
    // A posted input request arrives: a pending command text is typed and submitted, otherwise the request
    // opens and the caret starts.
    void handleInputRequest(InputMode mode);
    // A typed character (UTF-16 unit). Dropped while no request is open.
    void handleChar(char16_t ch);
    // A key press (Windows virtual-key code); also marks the key down for KEY().
    void handleKeyDown(int virtualKey);
    void handleKeyUp(int virtualKey);
    // A primary click or tap on the console cell (column, row), which the host has found under the pointer:
    // while a line request is open the cursor moves there, as the arrow keys would move it. True when it
    // moved; protected prompt cells, cells outside the grid and every other state are refused.
    bool handleCellClick(int column, int row);
    // The window lost the keyboard: no key is held any more.
    void handleFocusLost();
    // The caret timer ticked.
    void handleTimer();
    // Types a command line for the user at the interpreter's next line request: answers an open request with
    // Ctrl-C, raises a break, and replaces any pending text. An empty text only breaks.
    TypeResult typeForUser(std::u16string_view text);
    void raiseBreak();
    // Typing ahead, for a paste: units (printable text, tabs and carriage returns only) typed as the user
    // would type them, but never lost while no request is open. They go to line requests only, the open one
    // at once and later ones as the interpreter asks: each carriage return submits a line, and the rest waits
    // for the next line request. Text after the last carriage return is typed and left open for the user.
    // Character and key requests are left to the keyboard. More text is appended to what still waits; a
    // break (typeForUser, or Ctrl-C typed at a request) discards it.
    void typeAhead(std::u16string_view units);
    // The units still waiting to be typed.
    std::u16string_view typedAhead() const { return std::u16string_view(typeAhead_).substr(typeAheadDone_); }

    // Any thread, once: every wait of the interpreter thread gives up (requestInput returns false, sleepMs
    // returns early, shuttingDown() is true) and a break is raised. Messages delivered afterwards are
    // ignored.
    void shutdown();

    // The console the hand-off types into (a paste measures its grid).
    const Console& console() const { return console_; }
    // The user-interface state, for the window and for tests.
    bool inputActive() const { return inputActive_; }
    InputMode inputMode() const { return inputMode_; }
    std::u16string_view pendingInput() const { return pendingInput_; }

  private:
    // Hands inputLine to the waiting interpreter and returns once it has been copied (single-threaded: at
    // once; the interpreter copies it when its wait next looks).
    void completeInput();
    // The single-threaded wait for an answer: false when the application ended first.
    bool pumpUntilAnswered();
    // Answers the request with one code (and its terminator).
    void answerWith(char16_t code);
    void endRequest();
    // Types waiting units into the open line request until one submits it or none are left.
    void typeWaitingUnits();
    void discardTypeAhead();

    Console& console_;
    WindowPort& window_;
    ScreenPort& screen_;
    EventPump* pump_;
    LineEditor editor_;
    std::atomic<int> ownBreakFlag_{0};
    std::atomic<int>* breakFlag_ = &ownBreakFlag_;

    // The two auto-reset events and the shutdown, under one lock so that a shutdown wakes every wait.
    std::mutex mutex_;
    std::condition_variable changed_;
    bool inputReady_ = false;
    bool inputConsumed_ = false;
    std::atomic<bool> closing_{false};

    // The keys held down, by virtual-key code: written by the user-interface thread, read by KEY().
    std::array<std::atomic<std::uint8_t>, 256> keys_{};

    // User-interface thread only.
    bool inputActive_ = false;
    InputMode inputMode_ = InputMode::Line;
    std::u16string pendingInput_;
    std::u16string typeAhead_;
    std::size_t typeAheadDone_ = 0;
};

} // namespace tavik
