// The input hand-off without a second thread, as the web page runs it: the interpreter runs on the test's
// own thread, and every wait hands the turn to a pump that plays the user, one scripted step per turn.
#include "handoff.h"
#include "interpreter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <utility>

namespace tavik {
namespace {

using Clock = std::chrono::steady_clock;

class PumpedHost final : public ConsoleView, public WindowPort, public ScreenPort, public EventPump {
  public:
    int screenWidth() const override { return 480; }
    int screenHeight() const override { return 640; }
    PixelRect clientRect() const override { return {0, 0, 480, 640}; }
    CellSize measureFont(int fontHeight) override { return {fontHeight, fontHeight}; }

    // Posts are delivered at the next turn of the events, in order, as a browser's task queue would.
    void postInputRequest(InputMode mode) override {
        posted.push_back([this, mode] { handoff->handleInputRequest(mode); });
    }
    void postBreakChar() override {
        posted.push_back([this] { handoff->handleChar(BREAK_CHAR); });
    }
    void postClose() override { closed = true; }
    void startCaretTimer() override {}
    void stopCaretTimer() override {}
    void changeOrientation(int) override {}

    void pumpEvents(int ms) override {
        ++turns;
        pumpedMs += ms;
        // A browser returns to the program once the time given has passed.
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        // A hang shows as a failure, not as a test that never ends.
        if (turns > 2000) {
            handoff->shutdown();
            return;
        }
        while (!posted.empty()) {
            auto next = std::move(posted.front());
            posted.pop_front();
            next();
        }
        if (later && pumpedMs >= laterAtMs) std::exchange(later, nullptr)();
        // The user acts only at an open request, as a person at the prompt would.
        if (!user.empty() && handoff->inputActive()) {
            auto step = std::move(user.front());
            user.pop_front();
            step();
        }
    }

    InputHandoff* handoff = nullptr;
    std::deque<std::function<void()>> posted;
    std::deque<std::function<void()>> user;
    // Done once the events have been pumped for laterAtMs in all, whatever waits.
    std::function<void()> later;
    long laterAtMs = 0;
    bool closed = false;
    long turns = 0;
    long pumpedMs = 0;
};

class HandoffPumpTest : public ::testing::Test {
  protected:
    HandoffPumpTest() { host.handoff = &handoff; }

    void type(std::u16string text) {
        host.user.push_back([this, text] {
            for (const char16_t c : text) handoff.handleChar(c);
        });
    }
    std::u16string screenText() {
        std::u16string all;
        for (int r = 0; r < console.screen().rows; ++r) {
            std::u16string row;
            for (int c = 0; c < console.screen().columns; ++c)
                row += console.screen().cellChar[TextScreen::cellIndex(c, r)];
            all += row.substr(0, row.find_last_not_of(u' ') + 1) + u"\n";
        }
        return all;
    }
    bool shows(std::u16string_view text) { return screenText().find(text) != std::u16string::npos; }
    // The screen for a failure's message (ASCII is all these tests print).
    std::string seen() {
        const std::u16string text = screenText();
        return std::string(text.begin(), text.end());
    }

    PumpedHost host;
    Console console{host};
    InputHandoff handoff{console, host, host, &host};
    Interpreter interpreter{console, handoff};
};

TEST_F(HandoffPumpTest, LinesCharactersAndSleepsAnsweredOnOneThread) {
    handoff.setBreakFlag(&interpreter.breakRequested);
    interpreter.startInterpreter();
    type(u"print 1+2\r");
    // A program that sleeps and then waits for a character: the sleep pumps the events for its whole
    // length, and the character typed at the waiting request is the one the program gets.
    type(u"10 waitms 120:print waitchar\r");
    type(u"run\r");
    type(u"A");
    type(u"exit\r");
    const auto start = Clock::now();
    interpreter.interpreterLoop();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();

    EXPECT_TRUE(shows(u"print 1+2\n3\n")) << seen();
    EXPECT_TRUE(shows(u"run\n65\n")) << seen();
    EXPECT_GE(took, 120);
    EXPECT_GE(host.pumpedMs, 120);
    EXPECT_TRUE(host.user.empty());
}

TEST_F(HandoffPumpTest, MenuTextAtAWaitingProgramBreaksItAndIsTypedAtThePrompt) {
    handoff.setBreakFlag(&interpreter.breakRequested);
    interpreter.startInterpreter();
    type(u"10 print waitkey\r");
    type(u"run\r");
    // The menu's command reaches a program waiting for a key: the wait is broken off and the command
    // runs at the prompt that follows, without being answered as a key.
    host.user.push_back([this] { EXPECT_EQ(handoff.typeForUser(u"list\r"), TypeResult::Accepted); });
    type(u"exit\r");
    interpreter.interpreterLoop();
    EXPECT_TRUE(shows(u"Break in 10\n")) << seen();
    EXPECT_TRUE(shows(u"list\n10 print waitkey\n"));
}

TEST_F(HandoffPumpTest, ShutdownDuringAWaitEndsTheLoop) {
    handoff.setBreakFlag(&interpreter.breakRequested);
    interpreter.startInterpreter();
    type(u"10 waitms 30000\r");
    type(u"run\r");
    // The page is switched off while the program sleeps: the sleep ends, and so does every later wait.
    host.laterAtMs = 50;
    host.later = [this] { handoff.shutdown(); };
    const auto start = Clock::now();
    interpreter.interpreterLoop();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(handoff.shuttingDown());
    EXPECT_LT(host.turns, 2000);
    EXPECT_FALSE(host.later);
    EXPECT_GE(host.pumpedMs, 50);
}

} // namespace
} // namespace tavik
