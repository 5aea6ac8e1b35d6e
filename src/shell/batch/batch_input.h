#pragma once
// The batch console's keyboard: a byte stream of UTF-8 text. A line request reads one line and leaves it on
// the console as typing and Enter would; a character or key request takes the next character. Also its clock
// and its screen's turns.
#include "batch_view.h"
#include "console.h"
#include "fd_streams.h"
#include "host.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>

namespace tavik {

// The longest line a line request answers with; the rest of a longer input line is read as following lines.
constexpr int BATCH_LINE_UNITS = 255;

// The keyboard, clock and screen of the batch console.
class BatchHost : public Host {
  public:
    // inputIsTerminal: the terminal shows the typing itself, so a typed line is not echoed on the transcript.
    BatchHost(Console& console, BatchView& view, std::istream& in, bool inputIsTerminal = false);

    // The flag a break raises: the interpreter's breakRequested, known once the interpreter exists.
    void setBreakFlag(std::atomic<int>* flag) { breakFlag_ = flag; }

    bool requestInput(char16_t* buffer, int capacity, InputMode mode) override;
    std::uint32_t tickCount() override;
    void sleepMs(int ms) override;
    bool keyDown(int) override { return false; }
    int screenWidth() const override { return view_.screenWidth(); }
    int screenHeight() const override { return view_.screenHeight(); }
    void changeOrientation(int displayOrientation) override;
    // Nothing waits once the output has failed: the process is ending.
    bool shuttingDown() override { return view_.failed(); }
    // Looks without waiting: the input is closed once its end has been read (whatever is still unread).
    bool inputClosed() override;
    void messageBegins(bool isBreak) override { view_.beginMessage(isBreak); }
    void messageEnds() override { view_.endMessage(); }
    // Shown already; the next line read goes after it.
    void lineTypedAlready(const char16_t* text) override { typedAlready_ = text; }

  private:
    enum class Fill { Ready, End, Interrupted };

    Fill ensureUnits(std::size_t count);
    Fill decodeCharacter();
    int readByte();
    int peekByte();
    void consume(std::size_t count);
    Fill readLine(std::u16string& line);
    Fill readOneUnit(char16_t& unit);

    Console& console_;
    BatchView& view_;
    std::istream& in_;
    FdInputBuffer* fdInput_;
    bool inputIsTerminal_;
    std::atomic<int>* breakFlag_ = nullptr;

    // Decoded units not yet consumed, from index head_ on.
    std::u16string units_;
    std::size_t head_ = 0;
    bool atStartOfInput_ = true;
    bool ended_ = false;
    // Text standing before the next line read (AUTO's number).
    std::u16string typedAlready_;
    // A character request took a CR as Enter: an LF right after it belongs to the same line end.
    bool skipLineFeed_ = false;
};

// The virtual key code of a character read in a key request: letters as upper case, a line end as Enter.
char16_t virtualKeyFor(char16_t c);

} // namespace tavik
