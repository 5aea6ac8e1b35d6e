#include "terminal_host.h"

#include "console.h"
#include "examples.h"
#include "exit_status.h"
#include "handoff.h"
#include "key_decoder.h"
#include "machine.h"
#include "menu_controller.h"
#include "program_io.h"
#include "shell_resources.h"
#include "terminal_frame.h"
#include "terminal_overlay.h"
#include "virtual_keys.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <langinfo.h>
#include <memory>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace tavik {

namespace {

using Clock = std::chrono::steady_clock;
using Guard = std::lock_guard<std::recursive_mutex>;

constexpr int CARET_BLINK_MS = 500;
constexpr int F10 = VK_F1 + 9;
// Keys typed while no request is open wait this long for one: typing goes on across the moment between a
// line entered and the next request, as in any terminal; keys typed into a long run are dropped, as the
// window drops them.
constexpr int TYPE_AHEAD_MS = 500;

// Into the alternate screen with the cursor hidden, bracketed paste on, no wrap at the right edge (a cell in
// the last column must not scroll the screen), and mouse presses reported in SGR form (the terminal's own
// selection stays on Shift).
constexpr std::string_view ENTER_SEQUENCE = "\x1B[?1049h\x1B[?2004h\x1B[?7l\x1B[?25l\x1B[?1000h\x1B[?1006h";
// Back as it was: mouse reports off, colours reset, wrap and cursor on, paste markers off, the main screen
// with its cursor.
constexpr std::string_view LEAVE_SEQUENCE =
    "\x1B[?1006l\x1B[?1000l\x1B[0m\x1B[?7h\x1B[?25h\x1B[?2004l\x1B[?1049l";

// ---------------------------------------------------------------------------------------------------------
// What signal handlers may touch: lock-free atomics, the self-pipe, and the saved terminal state.

std::atomic<int> wakeWriteFd{-1};
std::atomic<bool> sizeChanged{false};
std::atomic<int> endingSignal{0};
std::atomic<bool> stopRequested{false};
std::atomic<bool> interruptRequested{false};
std::atomic<bool> terminalTaken{false};
int savedFd = -1;    // the terminal's settings are read and set here (standard input)
int savedOutFd = -1; // and its modes are sent here (standard output)
struct termios savedTermios {};

void wakeLoop() {
    const int fd = wakeWriteFd.load();
    if (fd >= 0) {
        const char byte = 1;
        const ssize_t ignored = ::write(fd, &byte, 1); // a full pipe already wakes the loop
        (void)ignored;
    }
}

// Puts the terminal back; safe in a signal handler (write and tcsetattr only).
void restoreTerminal() {
    if (!terminalTaken.exchange(false)) return;
    const ssize_t ignored = ::write(savedOutFd, LEAVE_SEQUENCE.data(), LEAVE_SEQUENCE.size());
    (void)ignored;
    ::tcsetattr(savedFd, TCSAFLUSH, &savedTermios);
}

extern "C" void onWinch(int) {
    sizeChanged.store(true);
    wakeLoop();
}

extern "C" void onEndingSignal(int sig) {
    endingSignal.store(sig);
    wakeLoop();
}

extern "C" void onStop(int) {
    stopRequested.store(true);
    wakeLoop();
}

extern "C" void onInterruptSignal(int) {
    interruptRequested.store(true);
    wakeLoop();
}

extern "C" void onCrash(int sig) {
    restoreTerminal();
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

constexpr int CRASH_SIGNALS[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGQUIT};
constexpr int ENDING_SIGNALS[] = {SIGTERM, SIGHUP};

void setHandler(int sig, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(sig, &action, nullptr);
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 100);
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

bool utf8Locale() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset != nullptr && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

std::filesystem::path expandHome(std::u16string& name) {
    if (name.size() >= 2 && name[0] == u'~' && name[1] == u'/') {
        if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
            name = utf16FromUtf8(home) + name.substr(1);
    }
    return pathFromUnits(name.c_str());
}

// ---------------------------------------------------------------------------------------------------------

class TerminalHost final : public ConsoleView, public WindowPort, public ScreenPort, public MenuHost {
  public:
    TerminalHost(int inFd, int outFd, const TerminalTraits& traits);
    ~TerminalHost() override;

    int run(const TerminalOptions& options);

    // --- ConsoleView and ScreenPort: from either thread ---
    int screenWidth() const override {
        Guard guard(console_.lock());
        return screenWidth_;
    }
    int screenHeight() const override {
        Guard guard(console_.lock());
        return screenHeight_;
    }
    PixelRect clientRect() const override { return {0, 0, screenWidth_, screenHeight_}; }
    // The terminal's cell is fixed: every font height gives a console cell of two columns by one row.
    CellSize measureFont(int) override { return {TERMINAL_CELL_PIXELS, TERMINAL_CELL_PIXELS}; }
    void damaged() override { markDirty(); }
    void beep() override {
        bell_.store(true);
        markDirty();
    }
    void cursorMoved() override { markDirty(); }

    // --- WindowPort ---
    void postInputRequest(InputMode mode) override { post({Posted::Kind::InputRequest, mode}); }
    void postBreakChar() override { post({Posted::Kind::BreakChar, InputMode::Line}); }
    void postClose() override { post({Posted::Kind::Close, InputMode::Line}); }
    void startCaretTimer() override {
        caretTimer_ = true;
        nextCaretTick_ = Clock::now() + std::chrono::milliseconds(CARET_BLINK_MS);
    }
    void stopCaretTimer() override { caretTimer_ = false; }

    // --- ScreenPort, on the interpreter thread ---
    // A terminal cannot be turned: the shape stays what the terminal's size makes it.
    void changeOrientation(int) override {}

    // --- MenuHost: the overlay's boxes and the bottom line, answered by a later key ---
    void showMessage(std::u16string_view message) override { overlay_.showMessage(std::u16string(message)); }
    void askFileName(int command, FileQuestion question) override {
        question_ = question;
        overlay_.askName(command);
    }
    void askRenumber(int command, std::u16string_view usual) override {
        question_.reset();
        overlay_.askName(command, usual);
    }
    void showAbout() override { overlay_.openAbout(); }
    void quit() override { finish(EXIT_NORMAL); }

  private:
    struct Posted {
        enum class Kind { InputRequest, BreakChar, Close };
        Kind kind;
        InputMode mode;
    };

    void post(const Posted& p) {
        {
            std::lock_guard<std::mutex> hold(queueMutex_);
            queue_.push_back(p);
        }
        wakeLoop();
    }
    void markDirty() {
        if (!dirty_.exchange(true)) wakeLoop();
    }

    bool takeTerminal();
    void readSize();
    void handlePosted();
    void handleKey(const TerminalKey& key);
    void handleBreakKey();
    void command(int id);
    void nameGiven(int id, std::u16string name, bool replaceAgreed);
    // Keys for the console wait in order until a request is open to take them.
    void queueKey(const TerminalKey& key);
    void deliverTyped();
    void deliver(const TerminalKey& key);
    void dropStaleTyped(Clock::time_point now);
    void holdKey(int virtualKey);
    void releaseKeys(Clock::time_point now);
    void suspend();
    void render();
    void finish(int status) {
        if (!ending_) status_ = status;
        ending_ = true;
    }

    int in_;
    int out_;
    TerminalTraits traits_;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    int columns_ = 80;
    int rows_ = 24;
    int screenWidth_;
    int screenHeight_;

    std::mutex queueMutex_;
    std::deque<Posted> queue_;
    std::atomic<bool> dirty_{true};
    std::atomic<bool> bell_{false};

    KeyDecoder decoder_;
    Clock::time_point lastByte_{};
    TerminalOverlay overlay_;
    // What the bottom line asks for: a file name, or (nothing) RENUM's arguments.
    std::optional<FileQuestion> question_;
    TerminalFrame frame_;
    bool overlayChanged_ = false;
    bool overlayWasOpen_ = false;
    CellWriter writer_;
    std::string output_;
    Clock::time_point lastFrame_{};
    bool caretTimer_ = false;
    Clock::time_point nextCaretTick_{};
    struct Typed {
        TerminalKey key;
        Clock::time_point arrived;
    };
    std::deque<Typed> typed_;
    std::array<std::optional<Clock::time_point>, 256> keyRelease_{};
    DoubleBreak breaks_;
    bool ending_ = false;
    int status_ = EXIT_NORMAL;

    // Last, so that everything the console and the thread call back into exists before them, and the
    // thread has stopped before any of it goes.
    std::unique_ptr<ThreadedMachine> machine_;
    Console& console_;
    InputHandoff& handoff_;
    MenuController commands_;
};

TerminalHost::TerminalHost(int inFd, int outFd, const TerminalTraits& traits)
    : in_(inFd), out_(outFd), traits_(traits), screenWidth_(terminalScreenWidth(80)),
      screenHeight_(terminalScreenHeight(24)), writer_(traits),
      machine_(std::make_unique<ThreadedMachine>(*this, *this, *this)), console_(machine_->console),
      handoff_(machine_->handoff()),
      commands_(*this, handoff_, console_, MENU_IN_TERMINAL, examplesFolder()) {
    overlay_.setItems(commands_.items());
}

TerminalHost::~TerminalHost() {
    machine_->stop();
    wakeWriteFd.store(-1);
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

bool TerminalHost::takeTerminal() {
    if (::tcgetattr(in_, &savedTermios) != 0) return false;
    savedFd = in_;
    savedOutFd = out_;
    struct termios raw = savedTermios;
    // Every key as it comes, no echo, no signals from the keys (Ctrl+C, Ctrl+Z and Ctrl+\ are the console's),
    // no flow control (Ctrl+S and Ctrl+Q are keys too), no CR to LF (Enter is 13).
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | PARMRK);
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    raw.c_cflag |= CS8;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (::tcsetattr(in_, TCSAFLUSH, &raw) != 0) return false;
    terminalTaken.store(true);
    writeAll(out_, ENTER_SEQUENCE);
    writer_.forget();
    return true;
}

void TerminalHost::readSize() {
    struct winsize size {};
    if (::ioctl(out_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
        columns_ = size.ws_col;
        rows_ = size.ws_row;
    }
    Guard guard(console_.lock());
    // The window's resize: the screen takes the terminal's shape, the grid keeps its cells and is centred
    // anew.
    screenWidth_ = terminalScreenWidth(columns_);
    screenHeight_ = terminalScreenHeight(rows_);
    console_.damageAll();
    writer_.forget();
    markDirty();
}

void TerminalHost::handlePosted() {
    for (;;) {
        Posted p;
        {
            std::lock_guard<std::mutex> hold(queueMutex_);
            if (queue_.empty()) return;
            p = queue_.front();
            queue_.pop_front();
        }
        switch (p.kind) {
        case Posted::Kind::InputRequest: handoff_.handleInputRequest(p.mode); break;
        case Posted::Kind::BreakChar: handoff_.handleChar(BREAK_CHAR); break;
        case Posted::Kind::Close: finish(EXIT_NORMAL); break;
        }
        markDirty(); // the caret may show or hide
    }
}

void TerminalHost::holdKey(int virtualKey) {
    if (virtualKey <= 0 || virtualKey > 255) return;
    keyRelease_[static_cast<std::size_t>(virtualKey)] = Clock::now() + std::chrono::milliseconds(KEY_HOLD_MS);
}

void TerminalHost::releaseKeys(Clock::time_point now) {
    for (std::size_t vk = 0; vk < keyRelease_.size(); ++vk) {
        if (keyRelease_[vk] && *keyRelease_[vk] <= now) {
            keyRelease_[vk].reset();
            handoff_.handleKeyUp(static_cast<int>(vk));
        }
    }
}

void TerminalHost::handleBreakKey() {
    // A second Ctrl+C soon after the first ends the program, as in the batch console.
    const auto sinceStart =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
    if (breaks_.endsProgram(static_cast<std::uint32_t>(sinceStart.count()))) {
        finish(EXIT_BREAK);
        return;
    }
    typed_.clear(); // what was typed ahead is not for the prompt the break brings
    command(CMD_BREAK);
}

void TerminalHost::handleKey(const TerminalKey& key) {
    markDirty();
    if (overlay_.open()) overlayChanged_ = true;
    if (key.kind == TerminalKey::Kind::Paste) {
        // Typed as the window's paste types it; a line too long for the console refuses all of it.
        if (overlay_.open())
            overlay_.key(key);
        else
            commands_.paste(key.units);
        return;
    }
    if (key.kind == TerminalKey::Kind::Press) {
        // A click on a console cell places the cursor while a line is asked; the menu takes no clicks.
        int column = 0, row = 0;
        if (!overlay_.open() && consoleCellAt(console_.geometry(), rows_, key.column, key.row, column, row))
            handoff_.handleCellClick(column, row);
        return;
    }
    // Ctrl+C is the BREAK soft key wherever the keyboard is.
    if (key.units == u"\x03") {
        overlay_.close();
        handleBreakKey();
        return;
    }
    if (key.units == u"\x1A" && key.modifiers == MOD_CONTROL) {
        suspend();
        return;
    }
    if (overlay_.open()) {
        const TerminalOverlay::Answer answer = overlay_.key(key);
        if (answer.command != 0) command(answer.command);
        if (answer.nameGiven) nameGiven(answer.promptCommand, answer.name, false);
        if (answer.confirmed) nameGiven(answer.promptCommand, answer.name, true);
        return;
    }
    if (key.virtualKey == F10 || (key.virtualKey == 'M' && (key.modifiers & MOD_ALT) != 0)) {
        overlay_.openMenu();
        return;
    }
    if (key.modifiers == MOD_CONTROL) {
        // The accelerators: Ctrl+A opens the About box; no handler takes Ctrl+Q, and the key is consumed.
        if (key.virtualKey == 'A') {
            command(CMD_ABOUT);
            return;
        }
        if (key.virtualKey == 'Q') return;
    }
    queueKey(key);
}

void TerminalHost::queueKey(const TerminalKey& key) {
    typed_.push_back({key, Clock::now()});
    deliverTyped();
    if (!typed_.empty() && key.virtualKey != 0) {
        // KEY() sees the key at once; with no request open, the key-down only marks it held.
        if (!handoff_.inputActive()) handoff_.handleKeyDown(key.virtualKey);
        holdKey(key.virtualKey);
    }
}

void TerminalHost::deliver(const TerminalKey& key) {
    // As the window delivers a key: its key-down, then what it types.
    if (key.virtualKey != 0) {
        handoff_.handleKeyDown(key.virtualKey);
        holdKey(key.virtualKey);
    }
    for (const char16_t unit : key.units) handoff_.handleChar(unit);
}

void TerminalHost::deliverTyped() {
    while (!typed_.empty() && handoff_.inputActive() && !ending_) {
        const TerminalKey key = std::move(typed_.front().key);
        typed_.pop_front();
        deliver(key);
    }
}

void TerminalHost::dropStaleTyped(Clock::time_point now) {
    if (handoff_.inputActive()) return;
    while (!typed_.empty() && now - typed_.front().arrived >= std::chrono::milliseconds(TYPE_AHEAD_MS))
        typed_.pop_front();
}

void TerminalHost::command(int id) {
    commands_.run(id);
    markDirty();
}

// The bottom line's answer. A file name is checked as the window's dialogs check it: Open and Run...
// take only a file that exists, Save As... asks before it replaces one.
void TerminalHost::nameGiven(int id, std::u16string name, bool replaceAgreed) {
    if (question_) {
        std::error_code error;
        const std::filesystem::path path = expandHome(name);
        const bool exists = std::filesystem::exists(path, error);
        if (*question_ == FileQuestion::Program && !exists) {
            overlay_.showMessage(u"No such file: " + name);
            return;
        }
        if (*question_ == FileQuestion::SaveAs && exists && !replaceAgreed) {
            overlay_.askReplace(id, name);
            return;
        }
    }
    commands_.answer(id, name);
}

void TerminalHost::suspend() {
    restoreTerminal();
    struct sigaction previous {};
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    ::sigaction(SIGTSTP, &defaults, &previous);
    ::raise(SIGTSTP); // stops here until the shell continues the job
    ::sigaction(SIGTSTP, &previous, nullptr);
    takeTerminal();
    readSize();
}

void TerminalHost::render() {
    dirty_.store(false);
    // What the overlay drew over is composed again once it may have shrunk or gone.
    const bool overlayOpen = overlay_.open();
    const bool resized = frame_.columns() != columns_ || frame_.rows() != rows_;
    const bool whole = resized || overlayChanged_ || overlayOpen != overlayWasOpen_;
    overlayChanged_ = false;
    overlayWasOpen_ = overlayOpen;
    frame_.resize(columns_, rows_);
    composeConsole(console_, traits_, handoff_.inputActive() && !overlayOpen, whole, frame_);
    overlay_.draw(frame_, traits_);
    output_.clear();
    if (bell_.exchange(false)) output_ += '\a';
    writer_.render(frame_, output_);
    lastFrame_ = Clock::now();
    if (!output_.empty() && !writeAll(out_, output_))
        finish(exitStatusForSignal(SIGHUP)); // the terminal went away
}

int TerminalHost::run(const TerminalOptions& options) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return EXIT_ERROR;
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
    for (const int fd : pipeFds) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    wakeWriteFd.store(wakeWrite_);

    if (!takeTerminal()) {
        std::fprintf(stderr, "tavikwm: the terminal cannot be set up: %s\n", std::strerror(errno));
        return EXIT_ERROR;
    }
    setHandler(SIGWINCH, onWinch);
    // Continued after a stop it could not see (SIGSTOP): the screen may hold anything, so it is sent whole.
    setHandler(SIGCONT, onWinch);
    for (const int sig : ENDING_SIGNALS) setHandler(sig, onEndingSignal);
    for (const int sig : CRASH_SIGNALS) setHandler(sig, onCrash);
    setHandler(SIGTSTP, onStop);
    setHandler(SIGINT, onInterruptSignal);
    ::signal(SIGPIPE, SIG_IGN);
    readSize();

    machine_->start(options.file ? std::optional(utf16FromUtf8(*options.file)) : std::nullopt);

    std::vector<TerminalKey> keys;
    char buffer[4096];
    while (!ending_) {
        const Clock::time_point now = Clock::now();
        Clock::time_point deadline = now + std::chrono::seconds(1);
        if (dirty_.load())
            deadline = std::min(deadline, lastFrame_ + std::chrono::milliseconds(FRAME_INTERVAL_MS));
        if (caretTimer_) deadline = std::min(deadline, nextCaretTick_);
        if (decoder_.waitingForMore())
            deadline = std::min(deadline, lastByte_ + std::chrono::milliseconds(ESC_WAIT_MS));
        if (!typed_.empty())
            deadline = std::min(deadline, typed_.front().arrived + std::chrono::milliseconds(TYPE_AHEAD_MS));
        for (const auto& release : keyRelease_)
            if (release) deadline = std::min(deadline, *release);
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();

        pollfd fds[2] = {{in_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        const int ready = ::poll(fds, 2, static_cast<int>(std::clamp<long long>(wait, 0, 1000)));
        if (ready < 0 && errno != EINTR) break;

        if (const int sig = endingSignal.exchange(0)) {
            finish(exitStatusForSignal(sig));
            break;
        }
        if (ready > 0 && (fds[1].revents & POLLIN) != 0) {
            char drain[256];
            while (::read(wakeRead_, drain, sizeof drain) > 0) {
            }
        }
        if (sizeChanged.exchange(false)) readSize();
        if (stopRequested.exchange(false)) suspend();
        if (interruptRequested.exchange(false)) handleBreakKey();
        handlePosted();
        deliverTyped();

        if (ready > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            const ssize_t got = ::read(in_, buffer, sizeof buffer);
            if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) {
                finish(exitStatusForSignal(SIGHUP)); // the terminal went away
                break;
            }
            if (got > 0) {
                lastByte_ = Clock::now();
                keys.clear();
                decoder_.feed(std::string_view(buffer, static_cast<std::size_t>(got)), keys);
                for (const TerminalKey& key : keys) {
                    if (ending_) break;
                    handleKey(key);
                }
            }
        }
        const Clock::time_point after = Clock::now();
        if (decoder_.waitingForMore() && after - lastByte_ >= std::chrono::milliseconds(ESC_WAIT_MS)) {
            keys.clear();
            decoder_.expire(keys);
            for (const TerminalKey& key : keys) handleKey(key);
        }
        dropStaleTyped(after);
        releaseKeys(after);
        if (caretTimer_ && after >= nextCaretTick_) {
            nextCaretTick_ = after + std::chrono::milliseconds(CARET_BLINK_MS);
            handoff_.handleTimer();
        }
        if (dirty_.load() && after - lastFrame_ >= std::chrono::milliseconds(FRAME_INTERVAL_MS)) render();
    }
    // The frame the program ended on is not shown any more: the terminal gets its own screen back.
    machine_->stop();
    restoreTerminal();
    return status_;
}

} // namespace

bool terminalAvailable() {
    if (::isatty(STDIN_FILENO) != 1 || ::isatty(STDOUT_FILENO) != 1) return false;
    const char* term = std::getenv("TERM");
    return term != nullptr && term[0] != '\0' && std::strcmp(term, "dumb") != 0;
}

int runTerminal(const TerminalOptions& options) {
    std::setlocale(LC_CTYPE, "");
    const TerminalTraits traits = traitsFor(std::getenv("TERM"), std::getenv("COLORTERM"), utf8Locale());
    // The console and the interpreter are large: they live on the heap.
    auto host = std::make_unique<TerminalHost>(STDIN_FILENO, STDOUT_FILENO, traits);
    return host->run(options);
}

} // namespace tavik
