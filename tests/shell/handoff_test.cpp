// The input hand-off with a real interpreter thread. The test thread plays the user-interface thread: it
// drains the window's message queue by hand and calls the handlers. Every wait is on the condition itself
// (a posted message, a change of the screen) and gives up after a generous time, failing the test.
#include "handoff.h"
#include "interpreter_thread.h"
#include "paste.h"
#include "support/interpreter_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace tavik {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Message {
    enum Kind { Request, BreakChar, Close } kind;
    InputMode mode = InputMode::Line;
};

// The window: a message queue, the caret timer's state, a screen whose size the test sets, and a view that
// only tells waiters that the screen changed.
class TestWindow final : public ConsoleView, public WindowPort, public ScreenPort {
  public:
    int screenWidth() const override { return width; }
    int screenHeight() const override { return 640; }
    PixelRect clientRect() const override { return {0, 0, width, 640}; }
    CellSize measureFont(int fontHeight) override { return {fontHeight, fontHeight}; }
    void damaged() override { post(std::nullopt); }

    void postInputRequest(InputMode mode) override { post(Message{Message::Request, mode}); }
    void postBreakChar() override { post(Message{Message::BreakChar}); }
    void postClose() override { post(Message{Message::Close}); }
    void startCaretTimer() override { timerRunning = true; }
    void stopCaretTimer() override { timerRunning = false; }
    void changeOrientation(int) override {}

    // True once pred holds; it is tested again at every message posted and every change of the screen.
    bool waitUntil(const std::function<bool()>& pred) {
        const auto deadline = Clock::now() + 20s;
        for (;;) {
            const unsigned long seen = version();
            if (pred()) return true;
            std::unique_lock<std::mutex> hold(mutex_);
            if (!changed_.wait_until(hold, deadline, [&] { return version_ != seen; })) return pred();
        }
    }
    std::optional<Message> take() {
        if (!waitUntil([&] { return queued() > 0; })) return std::nullopt;
        std::lock_guard<std::mutex> hold(mutex_);
        const Message m = queue_.front();
        queue_.pop_front();
        return m;
    }
    std::size_t queued() {
        std::lock_guard<std::mutex> hold(mutex_);
        return queue_.size();
    }

    std::atomic<int> width{480};
    bool timerRunning = false;

  private:
    unsigned long version() {
        std::lock_guard<std::mutex> hold(mutex_);
        return version_;
    }
    void post(std::optional<Message> m) {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            if (m) queue_.push_back(*m);
            ++version_;
        }
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Message> queue_;
    unsigned long version_ = 0;
};

class HandoffTest : public ::testing::Test {
  protected:
    void SetUp() override {
        interpreter.startInterpreter();
        thread.start();
    }
    void TearDown() override { thread.stop(); }

    // Delivers messages until one of them opens an input request.
    bool pumpUntilOpen() {
        while (const auto m = window.take()) {
            if (m->kind == Message::Request) handoff.handleInputRequest(m->mode);
            if (m->kind == Message::BreakChar) handoff.handleChar(BREAK_CHAR);
            if (m->kind == Message::Request && handoff.inputActive()) return true;
        }
        return false;
    }
    void type(std::u16string_view text) {
        for (const char16_t c : text) handoff.handleChar(c);
    }
    // At the prompt, types a line and Enter.
    void enter(std::u16string_view line) {
        if (!handoff.inputActive()) {
            ASSERT_TRUE(pumpUntilOpen());
        }
        ASSERT_EQ(handoff.inputMode(), InputMode::Line);
        type(line);
        type(u"\r");
    }
    std::u16string row(int r) {
        std::lock_guard<std::recursive_mutex> hold(console.lock());
        std::u16string text;
        for (int c = 0; c < console.screen().columns; ++c)
            text += console.screen().cellChar[TextScreen::cellIndex(c, r)];
        return text.substr(0, text.find_last_not_of(u' ') + 1);
    }
    // Anywhere on the screen, also where the text wraps from one row into the next.
    bool shows(std::u16string_view text) {
        std::lock_guard<std::recursive_mutex> hold(console.lock());
        std::u16string all;
        for (int r = 0; r < console.screen().rows; ++r)
            for (int c = 0; c < console.screen().columns; ++c)
                all += console.screen().cellChar[TextScreen::cellIndex(c, r)];
        return all.find(text) != std::u16string::npos;
    }
    // Consecutive rows holding these texts.
    bool showsRows(std::initializer_list<std::u16string_view> texts) {
        std::lock_guard<std::recursive_mutex> hold(console.lock());
        std::u16string all;
        for (const auto text : texts) {
            all += text;
            all.append(static_cast<std::size_t>(console.screen().columns) - text.size(), u' ');
        }
        return shows(all.substr(0, all.find_last_not_of(u' ') + 1));
    }
    bool waitFor(std::u16string_view text) {
        return window.waitUntil([&] { return shows(text); });
    }

    TestWindow window;
    Console console{window};
    InputHandoff handoff{console, window, window};
    Interpreter interpreter{console, handoff};
    InterpreterPeer peer{interpreter};
    InterpreterThread thread{interpreter, handoff, window};
};

TEST_F(HandoffTest, TypedLinesRunWhileTheCaretBlinks) {
    ASSERT_TRUE(pumpUntilOpen());
    EXPECT_TRUE(window.timerRunning);
    handoff.handleTimer();
    EXPECT_EQ(console.caretOn(), 1); // the interpreter waits: nobody else writes it
    type(u"print 1+2");
    handoff.handleKeyDown(0x25); // Enter takes the whole line wherever the cursor stands
    type(u"\r");
    EXPECT_FALSE(window.timerRunning);
    EXPECT_EQ(console.caretOn(), 0);
    ASSERT_TRUE(pumpUntilOpen());
    EXPECT_TRUE(showsRows({u"print 1+2", u"3"}));

    // Typed faster than the interpreter asks: what arrives while no request is open is dropped.
    type(u"print 4\rprint 5\r");
    ASSERT_TRUE(pumpUntilOpen());
    EXPECT_TRUE(shows(u"4"));
    EXPECT_FALSE(shows(u"print 5"));
}

TEST_F(HandoffTest, WaitkeyAndWaitcharTakeOnlyTheirOwnKind) {
    enter(u"10 A=WAITKEY:B=WAITCHAR:PRINT A;\"/\";B");
    enter(u"run");
    ASSERT_TRUE(pumpUntilOpen());
    EXPECT_EQ(handoff.inputMode(), InputMode::Key);
    handoff.handleChar(u'q');
    handoff.handleKeyDown(0x41);
    handoff.handleChar(u'a'); // the key's own character comes before the next request: dropped
    ASSERT_TRUE(pumpUntilOpen());
    EXPECT_EQ(handoff.inputMode(), InputMode::Char);
    handoff.handleKeyDown(0x25);
    handoff.handleChar(u'z');
    EXPECT_TRUE(waitFor(u"65/122"));
    EXPECT_TRUE(handoff.keyDown(0x41));
    handoff.handleFocusLost();
    EXPECT_FALSE(handoff.keyDown(0x41));
}

TEST_F(HandoffTest, ClicksAndTheEditingKeysActOnlyOnAnOpenLineRequest) {
    ASSERT_TRUE(pumpUntilOpen());
    // Under "OK", on row 2: a click on the 2, Delete, Home, End.
    type(u"rint 23");
    EXPECT_TRUE(handoff.handleCellClick(5, 2));
    handoff.handleKeyDown(VK_DELETE);
    handoff.handleKeyDown(VK_HOME);
    type(u"p");
    handoff.handleKeyDown(VK_END);
    type(u"4\r");
    ASSERT_TRUE(pumpUntilOpen());
    EXPECT_TRUE(showsRows({u"print 34", u"34"}));

    // A character or key request, and a running program, take no click; the key codes go to WAITKEY.
    enter(u"10 A=WAITCHAR:B=WAITKEY:C=WAITKEY:D=WAITKEY:PRINT A;\"/\";B;\"/\";C;\"/\";D");
    enter(u"cls:run");
    ASSERT_TRUE(pumpUntilOpen());
    ASSERT_EQ(handoff.inputMode(), InputMode::Char);
    EXPECT_FALSE(handoff.handleCellClick(0, 0));
    handoff.handleKeyDown(VK_HOME); // ignored in char mode, as every key is
    handoff.handleChar(u'z');
    for (int vk : {VK_HOME, VK_END, VK_DELETE}) {
        ASSERT_TRUE(pumpUntilOpen());
        ASSERT_EQ(handoff.inputMode(), InputMode::Key);
        EXPECT_FALSE(handoff.handleCellClick(0, 0));
        handoff.handleKeyDown(vk);
    }
    EXPECT_TRUE(waitFor(u"122/36/35/46"));
    ASSERT_TRUE(pumpUntilOpen());
    handoff.handleChar(BREAK_CHAR);
    EXPECT_FALSE(handoff.handleCellClick(0, 0)); // the request was answered: nothing is open
}

TEST_F(HandoffTest, AutoTypesTheNumberOnTheScreenAndCtrlCEndsIt) {
    enter(u"20 print 2");
    enter(u"auto 10");
    ASSERT_TRUE(pumpUntilOpen());
    EXPECT_EQ(row(4), u"10");
    type(u"print 1\r");
    ASSERT_TRUE(pumpUntilOpen());
    // An existing line comes as it lists, the cursor after it; Home and End work on it like any line.
    EXPECT_EQ(row(5), u"20 print 2");
    handoff.handleKeyDown(VK_HOME);
    handoff.handleKeyDown(VK_DELETE);
    type(u"3");
    handoff.handleKeyDown(VK_END);
    type(u"2\r");
    ASSERT_TRUE(pumpUntilOpen());
    EXPECT_EQ(row(6), u"40"); // after the line entered, whichever number it took
    type(u"x");
    handoff.handleChar(BREAK_CHAR);
    ASSERT_TRUE(pumpUntilOpen());
    EXPECT_TRUE(showsRows({u"40 x", u"OK"}));
    enter(u"list");
    ASSERT_TRUE(pumpUntilOpen());
    EXPECT_TRUE(showsRows({u"list", u"10 print 1", u"20 print 2", u"30 print 22"}));
}

TEST_F(HandoffTest, BreakStopsALoopingProgramOrAWaitingWaitkey) {
    enter(u"10 PRINT \"x\";:GOTO 10");
    enter(u"run");
    ASSERT_TRUE(waitFor(u"xxxx"));
    type(u"y\r"); // no request is open
    EXPECT_EQ(handoff.typeForUser(u""), TypeResult::Accepted);
    ASSERT_TRUE(pumpUntilOpen());
    EXPECT_TRUE(shows(u"Break in 10"));
    EXPECT_FALSE(shows(u"y"));

    enter(u"10 A=WAITKEY:PRINT \"after\"");
    enter(u"cls:run");
    ASSERT_TRUE(pumpUntilOpen());
    ASSERT_EQ(handoff.inputMode(), InputMode::Key);
    handoff.typeForUser(u"");
    ASSERT_TRUE(pumpUntilOpen()); // the Ctrl-C answers, the program stops, the prompt asks
    EXPECT_TRUE(shows(u"Break in 10"));
    EXPECT_FALSE(shows(u"after"));
}

TEST_F(HandoffTest, MenuTextsAreTypedAtTheNextLineRequest) {
    ASSERT_TRUE(pumpUntilOpen());
    type(u"abc");
    // The second text replaces the first; the leading form feed clears the screen.
    EXPECT_EQ(handoff.typeForUser(u"print 1\r"), TypeResult::Accepted);
    EXPECT_EQ(handoff.typeForUser(u"\fprint 6*7\r"), TypeResult::Accepted);
    ASSERT_TRUE(pumpUntilOpen());
    EXPECT_TRUE(handoff.pendingInput().empty());
    EXPECT_EQ(row(0), u"print 6*7");
    EXPECT_EQ(row(1), u"42");

    // A text that meets a program's key request breaks the program and waits for the prompt.
    enter(u"10 A=WAITKEY:GOTO 10");
    enter(u"run");
    ASSERT_TRUE(pumpUntilOpen());
    handoff.handleKeyDown(0x20);
    ASSERT_TRUE(window.waitUntil([&] { return window.queued() > 0; }));
    EXPECT_EQ(handoff.typeForUser(u"print 99\r"), TypeResult::Accepted);
    ASSERT_TRUE(pumpUntilOpen());
    EXPECT_TRUE(shows(u"Break in 10"));
    EXPECT_TRUE(shows(u"print 99"));
}

TEST_F(HandoffTest, CtrlCAnswersALineAndLeavesTheTyping) {
    ASSERT_TRUE(pumpUntilOpen());
    type(u"abc\x03");
    EXPECT_FALSE(handoff.inputActive());
    ASSERT_TRUE(pumpUntilOpen());
    EXPECT_TRUE(showsRows({u"OK", u"abc"}));
    EXPECT_EQ(console.cursorColumn(), 3);
}

TEST_F(HandoffTest, TooLongOrBrokenCommandTextsAreRefusedWhole) {
    ASSERT_TRUE(pumpUntilOpen());
    std::u16string text(PENDING_INPUT_UNITS - 1, u'a');
    text += u'\r';
    EXPECT_EQ(handoff.typeForUser(u"a" + text), TypeResult::TooLong);
    EXPECT_EQ(handoff.typeForUser(u"print 1"), TypeResult::NotALine);
    EXPECT_EQ(handoff.typeForUser(u"print 1\rprint 2\r"), TypeResult::NotALine);
    EXPECT_EQ(window.queued(), 0u);
    EXPECT_EQ(interpreter.breakRequested.load(), 0);
    EXPECT_TRUE(handoff.pendingInput().empty());
    EXPECT_EQ(handoff.typeForUser(text), TypeResult::Accepted);
}

TEST_F(HandoffTest, ExitClosesTheWindow) {
    enter(u"exit");
    const auto m = window.take();
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->kind, Message::Close);
    thread.stop();
    EXPECT_EQ(peer.runRequest, RunRequest::Exit);
}

TEST_F(HandoffTest, OrientWaitsForTheScreenToTurn) {
    enter(u"ORIENT -1:PRINT 6*7");
    EXPECT_FALSE(shows(u"42"));
    window.width = 700;
    EXPECT_TRUE(waitFor(u"42"));
}

TEST_F(HandoffTest, APastedListingBecomesTheProgramAndItsLastLineWaits) {
    ASSERT_TRUE(pumpUntilOpen());
    type(u"10 PRINT "); // the paste goes on where the typing stands
    EXPECT_EQ(pasteText(handoff, u"\"a\";\r\n20 PRINT \"b\"\n30 PRINT \"c\"\rli").outcome,
              PasteResult::Typed);
    EXPECT_FALSE(handoff.inputActive()); // the first line went to the interpreter at once
    ASSERT_TRUE(pumpUntilOpen());        // each request takes a line; the one after the last stays open
    EXPECT_TRUE(handoff.typedAhead().empty());
    EXPECT_TRUE(showsRows({u"30 PRINT \"c\"", u"li"})); // left for the user, with the request open
    EXPECT_TRUE(handoff.inputActive());
    type(u"st\r");
    ASSERT_TRUE(pumpUntilOpen());
    EXPECT_TRUE(showsRows({u"list", u"10 print \"a\";", u"20 print \"b\"", u"30 print \"c\""}));
}

TEST_F(HandoffTest, APasteWhileAProgramRunsAnswersItsLineRequestsOnly) {
    enter(u"10 K=WAITKEY:A=INPUT(\"A? \"):PRINT A*2");
    enter(u"run");
    ASSERT_TRUE(pumpUntilOpen());
    ASSERT_EQ(handoff.inputMode(), InputMode::Key);
    pasteText(handoff, u"21\nprint 5\n");
    EXPECT_TRUE(handoff.inputActive()); // a key request is the keyboard's
    EXPECT_EQ(handoff.typedAhead(), u"21\rprint 5\r");
    handoff.handleKeyDown(0x20);
    ASSERT_TRUE(pumpUntilOpen());
    EXPECT_TRUE(showsRows({u"A? 21", u"42", u"OK", u"print 5", u"5"}));

    // BREAK, or Ctrl-C, takes back what has not been typed.
    for (const bool breakKey : {true, false}) {
        const std::u16string mark = breakKey ? u"x" : u"y";
        enter(u"10 PRINT \"" + mark + u"\";:GOTO 10");
        enter(u"run");
        ASSERT_TRUE(
            waitFor(mark + mark + mark + mark)); // running: a break now is not lost in the run's start
        pasteText(handoff, u"print 7\n");
        EXPECT_FALSE(handoff.typedAhead().empty());
        if (!breakKey) handoff.handleChar(BREAK_CHAR); // typed while no request is open
        EXPECT_EQ(handoff.typedAhead().empty(), !breakKey);
        handoff.typeForUser(u"");
        ASSERT_TRUE(pumpUntilOpen());
        EXPECT_TRUE(shows(u"Break in 10"));
        EXPECT_FALSE(shows(u"print 7"));
        EXPECT_TRUE(handoff.typedAhead().empty());
    }
}

TEST_F(HandoffTest, OnASmallConsoleAPasteTakesOnlyLinesTheGridHoldsWhole) {
    enter(u"width 10,10");
    ASSERT_TRUE(pumpUntilOpen());
    // 10 x 9 - 1 = 89 units: the grid keeps a row for what stands before the line.
    const std::u16string line = u"1 rem " + std::u16string(83, u'x');
    PasteResult r = pasteText(handoff, line + u"x\n");
    EXPECT_EQ(r.outcome, PasteResult::Refused);
    EXPECT_EQ(pasteMessage(r), "Nothing was pasted: line 1 has 90 characters, and a line holds at most 89.");
    EXPECT_TRUE(handoff.inputActive());
    r = pasteText(handoff, line + u"\ncls:list\n");
    EXPECT_EQ(r.outcome, PasteResult::Typed);
    ASSERT_TRUE(pumpUntilOpen());
    EXPECT_TRUE(shows(line)); // listed whole: nothing was dropped or scrolled away while it was typed
}

TEST_F(HandoffTest, ARefusedPasteTypesNothing) {
    ASSERT_TRUE(pumpUntilOpen());
    type(u"ab");
    const PasteResult r = pasteText(handoff, u"print 1\n" + std::u16string(256, u'x'));
    EXPECT_EQ(r.outcome, PasteResult::Refused);
    EXPECT_EQ(r.refusedLine, 2);
    EXPECT_TRUE(handoff.inputActive());
    EXPECT_TRUE(handoff.typedAhead().empty());
    EXPECT_TRUE(showsRows({u"OK", u"ab"}));
    EXPECT_FALSE(shows(u"print"));
}

// Ending the application wherever the interpreter stands: the thread is woken, ended and joined at once.
struct Ending {
    const char16_t* program; // typed and run; "" leaves the interpreter at the prompt
    const char16_t* running; // shown once the program is where it should be; not in the program's text
};

class HandoffEndingTest : public HandoffTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(HandoffEndingTest, WakesAndJoinsTheThread) {
    const Ending e = GetParam();
    if (*e.program != 0) {
        enter(e.program);
        enter(u"run");
    }
    ASSERT_TRUE(waitFor(e.running));
    const auto start = Clock::now();
    thread.stop();
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_EQ(peer.runRequest, RunRequest::Exit);
    EXPECT_FALSE(shows(e.running + std::u16string(u"never")));
    // Messages still queued for the closing window change nothing.
    handoff.handleInputRequest(InputMode::Line);
    type(u"zz\r");
    EXPECT_FALSE(shows(u"zz"));
}

INSTANTIATE_TEST_SUITE_P(
    HandoffWaits, HandoffEndingTest,
    ::testing::Values(Ending{u"", u"OK"}, Ending{u"10 PRINT 6*7;:WAITMS 3000:PRINT \"never\"", u"42"},
                      Ending{u"10 PRINT 6*7;:ORIENT -1:PRINT \"never\"", u"42"},
                      Ending{u"10 PRINT 6*7;:A=WAITKEY:PRINT \"never\"", u"42"},
                      Ending{u"10 PRINT 6*7;:GOTO 10", u"4242"},
                      // Ending while the run starts, which clears a break raised before it.
                      Ending{u"10 GOTO 10", u"run"}));

} // namespace
} // namespace tavik
