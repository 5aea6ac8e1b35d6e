#pragma once
// What the interpreter needs from the machine around it, besides the console: the keyboard (through input
// requests and the key-down table), time, the screen's shape and its rotation. The batch console and the
// window each implement it.
#include "screen_shape.h"

#include <cstdint>

namespace tavik {

enum class InputMode : int { Line = 0, Char = 1, Key = 2 };

// Answer to a break-off: the first unit of an answer that the user broke off with Ctrl-C or BREAK.
constexpr char16_t BREAK_CHAR = 3;

class Host : public ScreenShape {
  public:
    virtual ~Host() = default;

    // Blocks until the user answers. Writes a 0-terminated answer of at most capacity - 1 units into
    // buffer: a line (Line), one character (Char) or one virtual-key code (Key). Returns false when the
    // input has closed for good (end of a script, the application ending); the buffer then holds
    // BREAK_CHAR and a break has been raised.
    virtual bool requestInput(char16_t* buffer, int capacity, InputMode mode) = 0;

    // The text just written at the cursor stands for typing at the start of the next line request (AUTO's
    // line number): the answer is the whole line, that text included. A host whose line editor collects the
    // line from the screen has it already; one that reads whole lines puts it in front of the line it reads.
    virtual void lineTypedAlready(const char16_t* /*text*/) {}

    // Milliseconds of a steady clock, as an unsigned 32-bit count.
    virtual std::uint32_t tickCount() = 0;
    // A real sleep. Returns early only when the application is ending.
    virtual void sleepMs(int ms) = 0;
    // True while the key with this virtual-key code (0..255) is held down.
    virtual bool keyDown(int virtualKey) = 0;
    // The screen's size in logical pixels (ScreenShape) is the window's, on the desktop.
    // Rotates the screen: 0 portrait (DMDO_0), 1 (DMDO_90) or 4 (DMDO_270) landscape.
    virtual void changeOrientation(int displayOrientation) = 0;
    // True when the application is ending and every wait should give up.
    virtual bool shuttingDown() { return false; }
    // True when the keyboard's input has ended for good (a script's input at its end): nobody is left to
    // turn the screen, so a wait for that stops with a break, as an open input request does.
    virtual bool inputClosed() { return false; }
    // The interpreter writes each message of its own (an error, a break) to the console between these two
    // calls, so that a host can tell it from what the program prints.
    virtual void messageBegins(bool /*isBreak*/) {}
    virtual void messageEnds() {}
    // A host without a second thread (the web page) gets control back from a running program every
    // YIELD_STATEMENTS statements, to let its own events (BREAK, keys, painting) in. Called only in a
    // build with TAVIK_HOST_YIELDS defined; the threaded hosts never pay for it.
    virtual void yieldSlice() {}
};

} // namespace tavik
