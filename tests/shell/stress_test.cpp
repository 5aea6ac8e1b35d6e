// The input hand-off under a storm of events: several producer threads post random typing, key presses,
// caret ticks, screen turns, BREAKs and menu texts while the test thread delivers them, and the window's own
// messages, one at a time as the user-interface thread does; the interpreter thread runs what arrives,
// programs with loops, INPUT, WAITKEY and WAITCHAR among it. Checked: nothing hangs (the interpreter answers
// and stops at the end within a deadline), every answer the user-interface side handed over reached the
// interpreter exactly once and in order, and, under ThreadSanitizer, nothing races.
//
// It runs TAVIK_STRESS_SECONDS seconds (3 when unset); a longer soak is that variable set higher.
#include "handoff.h"
#include "interpreter_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace tavik {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Event {
    enum Kind {
        Request,   // the interpreter asks for input (posted by the hand-off)
        BreakChar, // typeForUser answering an open request (posted by the hand-off)
        Close,     // the interpreter loop ended (posted by the interpreter thread)
        Char,      // a typed character
        KeyDown,
        KeyUp,
        Timer,   // the caret's timer
        Menu,    // a menu command typed for the user; an empty text only breaks (the BREAK soft key)
        Tracked, // a line typed whole on a cleared screen, whose arrival is checked
        Turn,    // the window changes shape
    } kind;
    InputMode mode = InputMode::Line;
    int code = 0;
    std::u16string text;

    explicit Event(Kind k, InputMode m = InputMode::Line, int c = 0, std::u16string t = {})
        : kind(k), mode(m), code(c), text(std::move(t)) {}
};

// The window: one queue for the hand-off's posts and the producers' events, delivered by the test thread.
class StormWindow final : public ConsoleView, public WindowPort, public ScreenPort {
  public:
    int screenWidth() const override { return width.load(); }
    int screenHeight() const override { return 640; }
    PixelRect clientRect() const override { return {0, 0, width.load(), 640}; }
    CellSize measureFont(int fontHeight) override { return {fontHeight, fontHeight}; }

    void postInputRequest(InputMode mode) override { post(Event{Event::Request, mode}, false); }
    void postBreakChar() override { post(Event{Event::BreakChar}, false); }
    void postClose() override { post(Event{Event::Close}, false); }
    void startCaretTimer() override {}
    void stopCaretTimer() override {}
    void changeOrientation(int displayOrientation) override { width = displayOrientation == 0 ? 480 : 700; }

    // Producers wait while the queue is long; the interpreter thread's posts never wait.
    void post(Event e, bool mayWait = true) {
        std::unique_lock<std::mutex> hold(mutex_);
        if (mayWait) roomLeft_.wait(hold, [&] { return queue_.size() < 256 || closed_; });
        queue_.push_back(std::move(e));
        ready_.notify_all();
    }
    std::optional<Event> take(std::chrono::milliseconds patience) {
        std::unique_lock<std::mutex> hold(mutex_);
        if (!ready_.wait_for(hold, patience, [&] { return !queue_.empty(); })) return std::nullopt;
        Event e = std::move(queue_.front());
        queue_.pop_front();
        roomLeft_.notify_all();
        return e;
    }
    void close() {
        std::lock_guard<std::mutex> hold(mutex_);
        closed_ = true;
        roomLeft_.notify_all();
    }

    std::atomic<int> width{480};

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::condition_variable roomLeft_;
    std::deque<Event> queue_;
    bool closed_ = false;
};

// Sits between the interpreter and the hand-off and writes down every answer the interpreter received.
class RecordingHost final : public Host {
  public:
    explicit RecordingHost(InputHandoff& handoff) : handoff_(handoff) {}
    bool requestInput(char16_t* buffer, int capacity, InputMode mode) override {
        const bool open = handoff_.requestInput(buffer, capacity, mode);
        if (open) {
            std::lock_guard<std::mutex> hold(mutex_);
            received_.emplace_back(buffer);
        }
        return open;
    }
    std::uint32_t tickCount() override { return handoff_.tickCount(); }
    void sleepMs(int ms) override { handoff_.sleepMs(ms); }
    bool keyDown(int virtualKey) override { return handoff_.keyDown(virtualKey); }
    int screenWidth() const override { return handoff_.screenWidth(); }
    int screenHeight() const override { return handoff_.screenHeight(); }
    void changeOrientation(int displayOrientation) override {
        handoff_.changeOrientation(displayOrientation);
    }
    bool shuttingDown() override { return handoff_.shuttingDown(); }

    std::vector<std::u16string> received() {
        std::lock_guard<std::mutex> hold(mutex_);
        return received_;
    }

  private:
    InputHandoff& handoff_;
    std::mutex mutex_;
    std::vector<std::u16string> received_;
};

// Lines of a program that loops, asks, waits for keys, calls, turns the screen, and fails now and then.
const char16_t* const PROGRAM_LINES[] = {
    u"10 FOR I=1 TO 30:PRINT I;:NEXT:PRINT",
    u"20 IF RND(4)=0 THEN A=INPUT(\"n? \"):PRINT A*2",
    u"30 IF RND(5)=0 THEN K=WAITKEY:C=WAITCHAR:PRINT K,C",
    u"40 GOSUB 100:IF RND(9)=0 THEN ORIENT -1",
    u"50 IF RND(7)=0 THEN PRINT 1/0",
    u"60 WAITMS 1:GOTO 10",
    u"100 @(RND(100))=TICK:LOCATE RND(20),RND(20):PRINT \"*\";:RETURN",
    u"70 GOTO 70",
    u"RUN",
    u"LIST",
    u"CONT",
    u"PRINT 6*7",
    u"CLS",
    u"RUN 40",
    u"A=INPUT(\"?\"):PRINT A",
};

const char16_t* const MENU_TEXTS[] = {u"run\r", u"\flist\r", u"cont\r", u"\fprint 1\r", u"list 10-50\r", u""};

int stressSeconds() {
    const char* text = std::getenv("TAVIK_STRESS_SECONDS");
    const int seconds = text ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : 3;
}

// What the user-interface side handed over, in order: the exact text where it is known.
struct Handed {
    bool known;
    std::u16string text;
};

class HandoffStress : public ::testing::Test {
  protected:
    // Delivers one event as the window's procedure would, and notes the answer it handed over, if any.
    void deliver(const Event& e) {
        const bool wasActive = handoff.inputActive();
        const InputMode mode = handoff.inputMode();
        switch (e.kind) {
        case Event::Request: {
            const bool typesPending = !handoff.pendingInput().empty();
            const std::u16string pending(handoff.pendingInput());
            handoff.handleInputRequest(e.mode);
            if (typesPending) {
                // A text meeting a character or key request breaks the program instead.
                if (e.mode != InputMode::Line)
                    handed.push_back({true, std::u16string(1, BREAK_CHAR)});
                else
                    handed.push_back({false, pending});
                ++requestsAnsweredByMenus;
            }
            return;
        }
        case Event::BreakChar:
            ++breaks;
            handoff.handleChar(BREAK_CHAR);
            break;
        case Event::Close: closed = true; return;
        case Event::Char:
            if (e.code == BREAK_CHAR) ++breaks;
            if (e.code == 13) ++returns;
            handoff.handleChar(static_cast<char16_t>(e.code));
            break;
        case Event::KeyDown: handoff.handleKeyDown(e.code); break;
        case Event::KeyUp: handoff.handleKeyUp(e.code); return;
        case Event::Timer: handoff.handleTimer(); return;
        case Event::Turn: window.width = e.code; return;
        case Event::Menu:
            ++menuTexts;
            if (e.text.empty()) ++breaks;
            if (handoff.typeForUser(e.text) != TypeResult::Accepted) ADD_FAILURE() << "menu text refused";
            return;
        case Event::Tracked:
            if (!wasActive || mode != InputMode::Line) return; // typing with no prompt open is dropped
            handoff.handleChar(12);                            // Ctrl+L: an empty screen to type on
            for (const char16_t c : e.text) handoff.handleChar(c);
            handoff.handleChar(13);
            handed.push_back({true, e.text});
            ++trackedLines;
            return;
        }
        if (wasActive && !handoff.inputActive()) {
            // The open request was answered by this event.
            if (e.kind == Event::BreakChar || (e.kind == Event::Char && e.code == BREAK_CHAR))
                handed.push_back({true, std::u16string(1, BREAK_CHAR)});
            else if (mode == InputMode::Char)
                handed.push_back({true, std::u16string(1, static_cast<char16_t>(e.code))});
            else if (mode == InputMode::Key)
                handed.push_back({true, std::u16string(1, static_cast<char16_t>(e.code))});
            else
                handed.push_back({false, u""}); // a line typed at random, wherever the cursor stood
        }
    }

    void producer(unsigned seed, const std::atomic<bool>& stop) {
        std::mt19937 random(seed);
        // Typing without x: "exit" would end the session.
        const std::u16string letters = u"abcdefghijklmnopqrstuvwyz ABC123+-*/=:;\"?@()\u3042\uFF21";
        int tracked = 0;
        while (!stop.load()) {
            Event e{Event::Char};
            const unsigned pick = random() % 100;
            if (pick < 50) {
                e.code = letters[random() % letters.size()];
            } else if (pick < 58) {
                e.code = 13;
            } else if (pick < 62) {
                e.code = random() % 2 ? 8 : 3;
            } else if (pick < 72) {
                e.kind = random() % 2 ? Event::KeyDown : Event::KeyUp;
                const int keys[] = {0x25, 0x26, 0x27, 0x28, 0x41, 0x20, 0x0D};
                e.code = keys[random() % std::size(keys)];
            } else if (pick < 78) {
                e.kind = Event::Timer;
            } else if (pick < 80) {
                e.kind = Event::Turn;
                e.code = random() % 2 ? 480 : 700;
            } else if (pick < 84) {
                e.kind = Event::Menu;
                e.text = MENU_TEXTS[random() % std::size(MENU_TEXTS)];
            } else {
                e.kind = Event::Tracked;
                const char16_t tag = static_cast<char16_t>(u'a' + tracked++ % 26);
                e.text = random() % 3 == 0
                             ? u"?\"t" + std::u16string(1, tag) + u"\""
                             : std::u16string(PROGRAM_LINES[random() % std::size(PROGRAM_LINES)]);
            }
            window.post(std::move(e));
            if (random() % 8 == 0) std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
        }
    }

    StormWindow window;
    Console console{window};
    InputHandoff handoff{console, window, window};
    RecordingHost host{handoff};
    Interpreter interpreter{console, host};
    InterpreterThread thread{interpreter, handoff, window};

    std::vector<Handed> handed;
    bool closed = false;
    int trackedLines = 0;
    int requestsAnsweredByMenus = 0;
    long breaks = 0; // BREAK soft key (an empty menu text), Ctrl+C typed, and the hand-off's break characters
    long returns = 0;   // Enter typed at random, wherever the cursor stood
    long menuTexts = 0; // menu command texts typed for the user, the BREAK soft key among them
};

TEST_F(HandoffStress, NoHangNoRaceNoLostLine) {
    interpreter.startInterpreter();
    thread.start();
    std::atomic<bool> stop{false};
    std::vector<std::thread> producers;
    for (unsigned seed = 1; seed <= 3; ++seed)
        producers.emplace_back([this, seed, &stop] { producer(seed, stop); });

    const auto end = Clock::now() + std::chrono::seconds(stressSeconds());
    long delivered = 0;
    while (Clock::now() < end && !closed) {
        if (const auto e = window.take(100ms)) {
            deliver(*e);
            ++delivered;
        }
    }
    stop = true;
    window.close();
    for (auto& p : producers) p.join();
    ASSERT_FALSE(closed) << "the interpreter loop ended";

    // The end: BREAK, then the prompt must come back and take one more line, all within the deadline.
    const auto ending = Clock::now();
    const auto deadline = ending + 60s; // generous: sanitizers on a loaded machine are slow, a hang is not
    handoff.typeForUser(u"");
    bool answered = false;
    while (Clock::now() < deadline && !answered) {
        const auto e = window.take(100ms);
        if (!e) {
            if (!handoff.inputActive()) handoff.typeForUser(u""); // a run that started after the break
            continue;
        }
        if (e->kind == Event::Request || e->kind == Event::BreakChar || e->kind == Event::Close) deliver(*e);
        if (handoff.inputActive() && handoff.inputMode() == InputMode::Line) {
            deliver(Event{Event::Tracked, InputMode::Line, 0, u"?\"end\""});
            answered = true;
        } else if (handoff.inputActive()) {
            handoff.typeForUser(u""); // a character or key request: break it off
        }
    }
    ASSERT_TRUE(answered) << "the prompt did not come back: a hang";
    const auto stopping = Clock::now();
    thread.stop();
    const auto stopped = Clock::now();
    EXPECT_LT(stopped - stopping, 15s) << "the interpreter thread did not end promptly";

    // Every answer handed over arrived once, in order, and as handed where it is known.
    const std::vector<std::u16string> received = host.received();
    ASSERT_EQ(received.size(), handed.size()) << "answers lost or doubled";
    for (std::size_t i = 0; i < handed.size(); ++i)
        if (handed[i].known) {
            EXPECT_EQ(received[i], handed[i].text) << "answer " << i;
        }
    EXPECT_GT(trackedLines, 3);
    RecordProperty("events", static_cast<int>(delivered));
    RecordProperty("answers", static_cast<int>(handed.size()));
    RecordProperty("breaks", static_cast<int>(breaks));
    const auto ms = [](Clock::duration d) {
        return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
    };
    std::printf(
        "stress: %ld events, %zu answers (%d tracked lines typed whole, %ld Enter typed at random, %ld menu"
        " texts of which %d answered a request, %ld breaks); prompt back %ld ms after the last BREAK,"
        " thread stopped in %ld ms\n",
        delivered, handed.size(), trackedLines, returns, menuTexts, requestsAnsweredByMenus, breaks,
        ms(stopping - ending), ms(stopped - stopping));
}

} // namespace
} // namespace tavik
