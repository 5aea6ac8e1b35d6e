#include "batch_input.h"
#include "fd_streams.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <optional>
#include <pthread.h>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace tavik {
namespace {

// A batch console over in-memory streams.
struct Rig {
    explicit Rig(std::string input, bool inputIsTerminal = false)
        : in(std::move(input)), view(out), console(view, &view), host(console, view, in, inputIsTerminal) {
        host.setBreakFlag(&breakFlag);
    }

    // The answer of a line request, or nothing at the end of the input.
    std::optional<std::u16string> line() {
        char16_t buffer[256];
        if (!host.requestInput(buffer, 256, InputMode::Line)) {
            EXPECT_EQ(buffer[0], BREAK_CHAR);
            return std::nullopt;
        }
        return std::u16string(buffer);
    }
    // The code a character or key request answers with; -1 at the end of the input.
    int unit(InputMode mode) {
        char16_t buffer[2] = {u'?', u'?'};
        const bool more = host.requestInput(buffer, 2, mode);
        EXPECT_EQ(buffer[1], 0);
        if (!more) {
            EXPECT_EQ(buffer[0], BREAK_CHAR);
            return -1;
        }
        return buffer[0];
    }
    std::string transcript() {
        view.flush();
        return out.str();
    }

    std::istringstream in;
    std::ostringstream out;
    BatchView view;
    Console console;
    BatchHost host;
    std::atomic<int> breakFlag{0};
};

std::unique_ptr<Rig> rig(std::string input, bool inputIsTerminal = false) {
    return std::make_unique<Rig>(std::move(input), inputIsTerminal);
}

const std::u16string FFFD(1, u'\uFFFD');

TEST(BatchHostLines, LineEndsAreRemovedAndTheEndOfInputBreaks) {
    auto r = rig("PRINT 1\r\nsecond\n\nlast");
    EXPECT_EQ(r->line(), u"PRINT 1");
    EXPECT_EQ(r->line(), u"second");
    EXPECT_EQ(r->line(), u"");
    EXPECT_EQ(r->breakFlag.load(), 0);
    EXPECT_EQ(r->line(), u"last") << "a last line without a line end still counts";
    EXPECT_EQ(r->line(), std::nullopt);
    EXPECT_EQ(r->breakFlag.load(), 1);
    r->breakFlag = 0;
    EXPECT_EQ(r->line(), std::nullopt) << "the end stays the end";
    EXPECT_EQ(r->breakFlag.load(), 1);

    EXPECT_EQ(rig("")->line(), std::nullopt);
    // A lone CR is not a line end; it stays in the line.
    EXPECT_EQ(rig("a\rb\n")->line(), u"a\rb");
}

TEST(BatchHostLines, TypedLineIsEchoedUnlessTheTerminalShowedIt) {
    auto piped = rig("PRINT 1\n\n\xE3\x82\xBF\n");
    piped->line();
    piped->line();
    piped->line();
    EXPECT_EQ(piped->transcript(), "PRINT 1\n\n\xE3\x82\xBF\n");
    EXPECT_EQ(piped->console.peekCell(0, 0), u'P') << "the echo is written into the cells";

    auto terminal = rig("PRINT 1\n", true);
    terminal->line();
    EXPECT_EQ(terminal->transcript(), "");
    EXPECT_EQ(terminal->console.peekCell(0, 0), u'P') << "the cells are written all the same";
    terminal->view.transcriptChar(u'3');
    EXPECT_EQ(terminal->transcript(), "3") << "only the echo is hidden";
}

TEST(BatchHostLines, LongLinesAreReadInPiecesOf255Units) {
    const std::string a255(255, 'a');
    const std::u16string u255(255, u'a');

    auto r = rig(std::string(300, 'a') + "\n");
    EXPECT_EQ(r->line(), u255);
    EXPECT_EQ(r->line(), std::u16string(45, u'a'));
    EXPECT_EQ(r->line(), std::nullopt);

    // A line end right after a full line belongs to it: no empty line follows.
    r = rig(a255 + "\nb\n" + a255 + "\r\nc\n" + std::string(510, 'a') + "\n");
    EXPECT_EQ(r->line(), u255);
    EXPECT_EQ(r->line(), u"b");
    EXPECT_EQ(r->line(), u255);
    EXPECT_EQ(r->line(), u"c");
    EXPECT_EQ(r->line(), u255);
    EXPECT_EQ(r->line(), u255);
    EXPECT_EQ(r->line(), std::nullopt);

    r = rig(std::string(254, 'a') + "\r\nb\n");
    EXPECT_EQ(r->line(), std::u16string(254, u'a'));
    EXPECT_EQ(r->line(), u"b");

    // A CR after a full line that is not followed by LF starts the next line.
    r = rig(a255 + "\rx\n");
    EXPECT_EQ(r->line(), u255);
    EXPECT_EQ(r->line(), u"\rx");

    // A surrogate pair is not split between two lines.
    r = rig(std::string(254, 'a') + "\xF0\x9F\x98\x80" + "\n");
    EXPECT_EQ(r->line(), std::u16string(254, u'a'));
    EXPECT_EQ(r->line(), u"\xD83D\xDE00");
}

TEST(BatchHostLines, AnswerIsTerminatedWithinTheCapacity) {
    auto r = rig("abcdef\nxy\n");
    char16_t small[4] = {u'?', u'?', u'?', u'?'};
    EXPECT_TRUE(r->host.requestInput(small, 4, InputMode::Line));
    EXPECT_EQ(std::u16string(small), u"abc");

    char16_t buffer[256];
    std::fill(std::begin(buffer), std::end(buffer), u'?');
    EXPECT_TRUE(r->host.requestInput(buffer, 256, InputMode::Line));
    EXPECT_EQ(std::u16string(buffer), u"xy");
    EXPECT_TRUE(std::all_of(buffer + 2, buffer + 256, [](char16_t c) { return c == 0; }));
}

TEST(BatchHostInput, Utf8IsDecodedToUtf16) {
    EXPECT_EQ(rig("\xE3\x82\xBF\xE3\x83\x93\xC3\xA9\n")->line(), u"\u30BF\u30D3\u00E9");
    EXPECT_EQ(rig("\xF0\x9F\x98\x80\n")->line(), u"\xD83D\xDE00");
    EXPECT_EQ(rig("\xEF\xBB\xBFPRINT\n")->line(), u"PRINT") << "a signature at the start is dropped";
    EXPECT_EQ(rig("a\xEF\xBB\xBF\n")->line(), u"a\uFEFF") << "only at the start";

    // Bytes that do not form a character each read as U+FFFD, as in a program file; the byte that broke a
    // sequence starts the next character.
    EXPECT_EQ(rig("\xFF\n")->line(), FFFD);
    EXPECT_EQ(rig("\xE3\x82"
                  "A\n")
                  ->line(),
              FFFD + FFFD + u"A");
    EXPECT_EQ(rig("\xC0\x80\n")->line(), FFFD + FFFD) << "overlong";
    EXPECT_EQ(rig("\xED\xA0\x80\n")->line(), FFFD + FFFD + FFFD) << "an encoded surrogate";
    EXPECT_EQ(rig("\xF4\x90\x80\x80\n")->line(), FFFD + FFFD + FFFD + FFFD) << "beyond U+10FFFF";
    EXPECT_EQ(rig("x\xE3\x82")->line(), u"x" + FFFD + FFFD) << "cut off by the end of the input";
}

TEST(BatchHostInput, CharacterRequestsTakeOneUnitAndLineEndsAreEnter) {
    auto r = rig("ab\r\nc\nd\r\xF0\x9F\x98\x80\x03");
    for (int expected : {int{'a'}, int{'b'}, 13, int{'c'}, 13, int{'d'}, 13, 0xD83D, 0xDE00, 3})
        EXPECT_EQ(r->unit(InputMode::Char), expected);
    EXPECT_EQ(r->breakFlag.load(), 0) << "a Ctrl-C character answers, it does not break";
    EXPECT_EQ(r->unit(InputMode::Char), -1);
    EXPECT_EQ(r->breakFlag.load(), 1);
    EXPECT_EQ(r->transcript(), "") << "character requests echo nothing";
}

TEST(BatchHostInput, KeyRequestsAnswerVirtualKeyCodes) {
    auto r = rig("aZ 5\t\x1b\x08\n\r\n~\xC3\xA9");
    for (int expected : {0x41, 0x5A, 0x20, 0x35, 0x09, 0x1B, 0x08, 0x0D, 0x0D, int{'~'}, 0xE9})
        EXPECT_EQ(r->unit(InputMode::Key), expected);
    EXPECT_EQ(r->unit(InputMode::Key), -1);
    EXPECT_EQ(r->breakFlag.load(), 1);

    for (char16_t c = u'a'; c <= u'z'; ++c) EXPECT_EQ(virtualKeyFor(c), c - u'a' + 0x41);
    for (char16_t c = u'0'; c <= u'9'; ++c) EXPECT_EQ(virtualKeyFor(c), c);
}

TEST(BatchHostInput, CrLfTakenAsEnterByACharacterRequestIsOneLineEnd) {
    auto r = rig("x\r\nnext\n\r\ny\rz");
    EXPECT_EQ(r->unit(InputMode::Char), 'x');
    EXPECT_EQ(r->unit(InputMode::Char), 13);
    EXPECT_EQ(r->line(), u"next") << "the LF of the CR LF is not a line of its own";
    EXPECT_EQ(r->unit(InputMode::Key), 13);
    EXPECT_EQ(r->unit(InputMode::Key), 'Y');
    EXPECT_EQ(r->unit(InputMode::Char), 13);
    EXPECT_EQ(r->line(), u"z") << "after a lone CR nothing is skipped";
}

TEST(BatchHostScreen, OrientationRotatesTheVirtualScreen) {
    auto r = rig("");
    EXPECT_EQ(r->host.screenWidth(), 480);
    EXPECT_EQ(r->host.screenHeight(), 640);
    r->host.changeOrientation(1);
    EXPECT_EQ(r->host.screenWidth(), 640);
    EXPECT_EQ(r->host.screenHeight(), 480);
    EXPECT_EQ(r->view.clientRect(), (PixelRect{0, 0, 640, 480}));
    r->host.changeOrientation(4);
    EXPECT_EQ(r->host.screenWidth(), 640);
    r->host.changeOrientation(0);
    EXPECT_EQ(r->host.screenWidth(), 480);
    EXPECT_EQ(r->host.screenHeight(), 640);
    r->host.changeOrientation(0);
    EXPECT_EQ(r->host.screenWidth(), 480);
    r->host.changeOrientation(2); // not a rotation
    EXPECT_EQ(r->host.screenWidth(), 480);

    r->view.setScreenSize(1024, 768);
    r->host.changeOrientation(0);
    EXPECT_EQ(r->host.screenWidth(), 768);
    EXPECT_EQ(r->host.screenHeight(), 1024);
    EXPECT_FALSE(r->host.keyDown(0x41));
}

TEST(BatchHostScreen, ClockAndSleep) {
    auto r = rig("");
    const std::uint32_t before = r->host.tickCount();
    r->host.sleepMs(30);
    const std::uint32_t elapsed = r->host.tickCount() - before;
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 2000u);

    r->view.transcriptChar(u'x');
    r->host.sleepMs(0);
    EXPECT_EQ(r->out.str(), "x") << "a pause shows what was printed";
}

// Ctrl-C at a terminal: the signal cuts a waiting read short. Here SIGUSR1 on a pipe stands for it.
std::atomic<int>* signalTarget = nullptr;
extern "C" void raiseBreakOnSignal(int) {
    if (signalTarget != nullptr) signalTarget->store(1);
}

struct PipeRig {
    PipeRig() {
        EXPECT_EQ(pipe(fds), 0);
        input = std::make_unique<FdInputBuffer>(fds[0]);
        in = std::make_unique<std::istream>(input.get());
        view = std::make_unique<BatchView>(out);
        console = std::make_unique<Console>(*view, view.get());
        host = std::make_unique<BatchHost>(*console, *view, *in);
        host->setBreakFlag(&breakFlag);
        struct sigaction action {};
        action.sa_handler = raiseBreakOnSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGUSR1, &action, &previous);
    }
    ~PipeRig() {
        sigaction(SIGUSR1, &previous, nullptr);
        signalTarget = nullptr;
        close(fds[0]);
        if (fds[1] >= 0) close(fds[1]);
    }
    void write(const std::string& s) { ASSERT_EQ(::write(fds[1], s.data(), s.size()), (ssize_t)s.size()); }
    void closeWriter() {
        close(fds[1]);
        fds[1] = -1;
    }
    // Signals the waiting reader until it has answered.
    std::thread interrupter(std::atomic<bool>& done) {
        const pthread_t reader = pthread_self();
        return std::thread([reader, &done] {
            while (!done) {
                pthread_kill(reader, SIGUSR1);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    }

    int fds[2] = {-1, -1};
    std::unique_ptr<FdInputBuffer> input;
    std::unique_ptr<std::istream> in;
    std::ostringstream out;
    std::unique_ptr<BatchView> view;
    std::unique_ptr<Console> console;
    std::unique_ptr<BatchHost> host;
    std::atomic<int> breakFlag{0};
    struct sigaction previous {};
};

TEST(BatchHostInterrupt, BreakAnswersAWaitingRequestAndInputGoesOn) {
    PipeRig r;
    signalTarget = &r.breakFlag;
    std::atomic<bool> done{false};
    std::thread t = r.interrupter(done);
    char16_t buffer[256] = {u'?', u'?'};
    const bool more = r.host->requestInput(buffer, 256, InputMode::Line);
    done = true;
    t.join();
    EXPECT_TRUE(more) << "an interruption is not the end of the input";
    EXPECT_EQ(buffer[0], BREAK_CHAR);
    EXPECT_EQ(buffer[1], 0);

    r.write("PRINT 1\n");
    r.closeWriter();
    EXPECT_TRUE(r.host->requestInput(buffer, 256, InputMode::Line));
    EXPECT_EQ(std::u16string(buffer), u"PRINT 1");
    EXPECT_FALSE(r.host->requestInput(buffer, 256, InputMode::Line));
    EXPECT_EQ(buffer[0], BREAK_CHAR);
}

TEST(BatchHostInterrupt, SignalWithoutABreakKeepsWaiting) {
    PipeRig r;
    signalTarget = nullptr; // the signal raises nothing
    std::atomic<bool> done{false};
    std::thread t = r.interrupter(done);
    std::thread writer([&r] {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        r.write("k");
    });
    char16_t buffer[2] = {};
    const bool more = r.host->requestInput(buffer, 2, InputMode::Key);
    done = true;
    t.join();
    writer.join();
    EXPECT_TRUE(more);
    EXPECT_EQ(buffer[0], u'K');
    EXPECT_EQ(r.breakFlag.load(), 0);
}

} // namespace
} // namespace tavik
