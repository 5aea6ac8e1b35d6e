#pragma once
// The batch console's screen: virtual, of the size asked for, and the transcript, what the console is given
// to show, written to a byte stream as UTF-8 as it is given.
#include "console_transcript.h"
#include "console_view.h"

#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace tavik {

constexpr int BATCH_DEFAULT_WIDTH = 480;
constexpr int BATCH_DEFAULT_HEIGHT = 640;

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

} // namespace tavik
