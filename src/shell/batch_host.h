#pragma once
// The batch console: the same interpreter and console model with no window. The screen is virtual, what the
// console is given to show goes to a byte stream as UTF-8 (the transcript), and a byte stream of UTF-8 text
// stands for the keyboard. Scripts run programs through it and whole typed sessions are tested with it.
#include "console.h"
#include "console_view.h"
#include "host.h"
#include "program_file.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace tavik {

class Interpreter;

constexpr int BATCH_DEFAULT_WIDTH = 480;
constexpr int BATCH_DEFAULT_HEIGHT = 640;
// The longest line a line request answers with; the rest of a longer input line is read as following lines.
constexpr int BATCH_LINE_UNITS = 255;

// Reads a file descriptor directly, so that a read cut short by a signal (Ctrl-C at the terminal) is told
// apart from the end of the input: both look like "no more characters" to the stream, but only the end is
// final (atEnd).
class FdInputBuffer : public std::streambuf {
  public:
    explicit FdInputBuffer(int fd) : fd_(fd) {}
    bool atEnd() const { return ended_; }
    // True when a read would not wait: input (or its end) has arrived.
    bool readable() const;

  protected:
    int_type underflow() override;

  private:
    int fd_;
    bool ended_ = false;
    char buffer_[1 << 16];
};

// Writes a file descriptor directly, retrying writes that a signal interrupted, so that no output is lost
// when Ctrl-C arrives in the middle of a write. Unbuffered: BatchView does the buffering.
class FdOutputBuffer : public std::streambuf {
  public:
    explicit FdOutputBuffer(int fd) : fd_(fd) {}
    // The errno of the write that failed, or 0.
    int error() const { return error_; }

  protected:
    std::streamsize xsputn(const char* data, std::streamsize count) override;
    int_type overflow(int_type c) override;

  private:
    int fd_;
    int error_ = 0;
};

// The virtual screen and the transcript writer.
class BatchView : public ConsoleView, public ConsoleTranscript {
  public:
    explicit BatchView(std::ostream& out, int width = BATCH_DEFAULT_WIDTH, int height = BATCH_DEFAULT_HEIGHT);
    ~BatchView() override;
    BatchView(const BatchView&) = delete;
    BatchView& operator=(const BatchView&) = delete;

    int screenWidth() const override { return width_; }
    int screenHeight() const override { return height_; }
    PixelRect clientRect() const override { return {0, 0, width_, height_}; }
    CellSize measureFont(int fontHeight) override { return {fontHeight, fontHeight}; }

    void transcriptChar(char16_t c) override;
    void transcriptNewLine() override;
    void transcriptTab(int fromColumn, int toColumn) override;
    void transcriptBackspace() override;

    void setScreenSize(int width, int height) {
        width_ = width;
        height_ = height;
    }
    // While muted the transcript writes nothing (the cells are still written by the console).
    void setTranscriptMuted(bool muted) { muted_ = muted; }
    // Flush at every new line: for a terminal, where the text should appear as it is printed.
    void setFlushAtNewLine(bool on) { flushAtNewLine_ = on; }
    // For a terminal: the characters that would steer it instead of being shown (see steersTerminal) are
    // written as U+FFFD. A pipe or file gets every character as it is.
    void setReplaceControls(bool on) { replaceControls_ = on; }

    // Writes what is buffered. A high surrogate still waiting for its partner stays pending.
    void flush();
    // Ends the transcript: a pending high surrogate becomes U+FFFD, and everything is written.
    void finish();

    // A write to the output failed: nothing more is written, and onFailure (set once) has been called.
    bool failed() const { return failed_; }
    // Why, for the line on standard error.
    std::string failureText() const;
    void setOnFailure(std::function<void()> onFailure) { onFailure_ = std::move(onFailure); }

    // A script's run: each message of the interpreter is held back, so that the one that stops the run can
    // go to standard error; a message that more output follows is written in its place after all.
    void setHoldMessages(bool on) { holdMessages_ = on; }
    void beginMessage(bool isBreak);
    void endMessage();
    struct HeldMessage {
        std::string text; // UTF-8, without its line end
        bool isBreak = false;
    };
    // The message held when the run stopped, taken.
    std::optional<HeldMessage> takeHeldMessage();

  private:
    void putCodePoint(char32_t cp);
    void dropPendingSurrogate();
    void afterAppend();
    // Where the next transcript text goes: the held message while one is written, else the output
    // (a message held from before is released to it first).
    std::string& sink();

    std::ostream& out_;
    std::string buffer_;
    std::string message_;
    bool holdMessages_ = false;
    bool inMessage_ = false;
    bool messageHeld_ = false;
    bool messageIsBreak_ = false;
    bool failed_ = false;
    int failureErrno_ = 0;
    std::function<void()> onFailure_;
    int width_;
    int height_;
    char16_t pendingHigh_ = 0;
    bool muted_ = false;
    bool flushAtNewLine_ = false;
    bool replaceControls_ = false;
};

// A character that a terminal takes as a command or that turns the direction of the text around it: the
// C0 controls but the line feed, tab and backspace the transcript writes, DEL, the C1 controls and the
// bidirectional embeddings, overrides and isolates.
bool steersTerminal(char32_t c);

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

// A script's lines: a program file's, less a first line that begins with "#!" (after the mark, if any),
// which names the program that runs the script.
class ScriptSource final : public LineSource {
  public:
    explicit ScriptSource(std::string_view bytes);
    bool readLine(char16_t* buffer, int capacity) override;
    bool failed() const override;
    // How many lines of the file were left out before the first line read (0 or 1).
    std::size_t linesSkipped() const { return skipped_; }

  private:
    std::unique_ptr<ProgramFileReader> reader_;
    bool started_ = false;
    std::size_t skipped_ = 0;
};

// Checks a script as the loader would take it. Each line the loader would refuse (a syntax error, line
// number 0, a direct line that begins with a number) is written to err as "FILE:N: MESSAGE"; true when
// there is none.
bool checkScript(std::string_view bytes, const std::string& file, std::ostream& err,
                 bool replaceControls = false);

// The largest script read: more is no program, and a device that never ends must not fill the memory.
constexpr std::size_t SCRIPT_MAX_BYTES = std::size_t{64} << 20;

struct BatchOptions {
    int width = BATCH_DEFAULT_WIDTH;
    int height = BATCH_DEFAULT_HEIGHT;
    // UTF-8 name of a program file to run instead of the interactive console.
    std::optional<std::string> file;
    bool inputIsTerminal = false;
    bool outputIsTerminal = false;
    bool errorIsTerminal = false; // a refused line of FILE is shown on it without its controls
    // Install the Ctrl-C handler (a break; a second within one second ends the process with 130).
    bool handleInterrupt = false;
};

// Runs the batch console over the given streams until EXIT, the end of the input or (with a file) the end of
// the run, and returns the process's exit status: 0 a normal end, 1 an error stopped the script or the
// output failed, 130 a break stopped the script. Everything written has been flushed when it returns.
// err receives the script's refused lines and the message that stopped it, and a failure of the output.
int runBatchSession(std::istream& in, std::ostream& out, std::ostream& err, const BatchOptions& options);

// The same on standard input and output.
int runBatch(const BatchOptions& options);

} // namespace tavik
