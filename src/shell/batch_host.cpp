#include "batch_host.h"

#include "interpreter.h"
#include "program_io.h"
#include "utf8.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace tavik {

namespace {

constexpr std::size_t FLUSH_THRESHOLD = 1 << 16;
constexpr char16_t LINE_FEED = 0x0A;
constexpr char16_t CARRIAGE_RETURN = 0x0D;
constexpr char16_t ENTER = 0x0D;
constexpr char32_t BYTE_ORDER_MARK = 0xFEFF;

bool isHighSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// File descriptor streams

FdInputBuffer::int_type FdInputBuffer::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (ended_) return traits_type::eof();
    const ssize_t got = ::read(fd_, buffer_, sizeof buffer_);
    if (got > 0) {
        setg(buffer_, buffer_, buffer_ + got);
        return traits_type::to_int_type(*gptr());
    }
    // EINTR: a signal cut the wait short; the input goes on, and the reader decides what the signal meant.
    if (got < 0 && errno == EINTR) return traits_type::eof();
    ended_ = true;
    return traits_type::eof();
}

bool FdInputBuffer::readable() const {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

std::streamsize FdOutputBuffer::xsputn(const char* data, std::streamsize count) {
    std::streamsize done = 0;
    while (done < count) {
        const ssize_t put = ::write(fd_, data + done, static_cast<std::size_t>(count - done));
        if (put < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            break;
        }
        done += put;
    }
    return done;
}

FdOutputBuffer::int_type FdOutputBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

bool steersTerminal(char32_t c) {
    if (c < 0x20) return c != 0x0A && c != 0x09 && c != 0x08;
    return (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// ---------------------------------------------------------------------------------------------------------
// BatchView

BatchView::BatchView(std::ostream& out, int width, int height) : out_(out), width_(width), height_(height) {
    buffer_.reserve(FLUSH_THRESHOLD + 64);
}

BatchView::~BatchView() {
    finish();
}

void BatchView::putCodePoint(char32_t cp) {
    appendUtf8(replaceControls_ && steersTerminal(cp) ? REPLACEMENT_CHARACTER : cp, sink());
}

void BatchView::dropPendingSurrogate() {
    if (pendingHigh_ == 0) return;
    pendingHigh_ = 0;
    putCodePoint(REPLACEMENT_CHARACTER);
}

void BatchView::afterAppend() {
    if (buffer_.size() >= FLUSH_THRESHOLD) flush();
}

std::string& BatchView::sink() {
    if (inMessage_) return message_;
    if (messageHeld_) {
        buffer_ += message_;
        message_.clear();
        messageHeld_ = false;
    }
    return buffer_;
}

void BatchView::beginMessage(bool isBreak) {
    if (!holdMessages_) return;
    dropPendingSurrogate();
    sink(); // an earlier message that more output followed is written where it stood
    message_.clear();
    inMessage_ = true;
    messageIsBreak_ = isBreak;
}

void BatchView::endMessage() {
    if (!inMessage_) return;
    inMessage_ = false;
    messageHeld_ = true;
}

std::optional<BatchView::HeldMessage> BatchView::takeHeldMessage() {
    if (!messageHeld_) return std::nullopt;
    messageHeld_ = false;
    HeldMessage held{std::move(message_), messageIsBreak_};
    message_.clear();
    while (!held.text.empty() && held.text.back() == '\n') held.text.pop_back();
    return held;
}

void BatchView::transcriptChar(char16_t c) {
    if (muted_) return;
    if (pendingHigh_ != 0 && isLowSurrogate(c)) {
        putCodePoint(0x10000 + ((static_cast<char32_t>(pendingHigh_) - 0xD800) << 10) + (c - 0xDC00));
        pendingHigh_ = 0;
    } else {
        dropPendingSurrogate();
        if (isHighSurrogate(c)) {
            pendingHigh_ = c; // its partner may come with the next character
            return;
        }
        putCodePoint(isLowSurrogate(c) ? REPLACEMENT_CHARACTER : c);
    }
    afterAppend();
}

void BatchView::transcriptNewLine() {
    if (muted_) return;
    dropPendingSurrogate();
    sink().push_back('\n');
    if (flushAtNewLine_)
        flush();
    else
        afterAppend();
}

void BatchView::transcriptTab(int fromColumn, int toColumn) {
    if (muted_) return;
    dropPendingSurrogate();
    if (toColumn > fromColumn) sink().append(static_cast<std::size_t>(toColumn - fromColumn), ' ');
    afterAppend();
}

void BatchView::transcriptBackspace() {
    if (muted_) return;
    dropPendingSurrogate();
    sink().push_back('\b');
    afterAppend();
}

void BatchView::flush() {
    if (failed_) {
        buffer_.clear();
        return;
    }
    if (!buffer_.empty()) {
        out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        buffer_.clear();
    }
    out_.flush();
    if (!out_) {
        // A full disk, a closed pipe: whatever follows would be lost as well.
        failed_ = true;
        if (auto* fd = dynamic_cast<FdOutputBuffer*>(out_.rdbuf())) failureErrno_ = fd->error();
        if (onFailure_) onFailure_();
    }
}

std::string BatchView::failureText() const {
    return failureErrno_ != 0 ? std::strerror(failureErrno_) : "write failed";
}

void BatchView::finish() {
    dropPendingSurrogate();
    flush();
}

// ---------------------------------------------------------------------------------------------------------
// BatchHost: input

BatchHost::BatchHost(Console& console, BatchView& view, std::istream& in, bool inputIsTerminal)
    : console_(console), view_(view), in_(in), fdInput_(dynamic_cast<FdInputBuffer*>(in.rdbuf())),
      inputIsTerminal_(inputIsTerminal) {}

// The next byte, or -1 at the end of the input, or -2 when a signal interrupted the wait for it.
int BatchHost::readByte() {
    const auto c = in_.rdbuf()->sbumpc();
    if (!std::streambuf::traits_type::eq_int_type(c, std::streambuf::traits_type::eof()))
        return static_cast<unsigned char>(std::streambuf::traits_type::to_char_type(c));
    return fdInput_ == nullptr || fdInput_->atEnd() ? -1 : -2;
}

// The next byte without taking it, or -1 at the end. Inside a character an interruption is not reported:
// the rest of the character is waited for, and the break is answered at the next character.
int BatchHost::peekByte() {
    for (;;) {
        const auto c = in_.rdbuf()->sgetc();
        if (!std::streambuf::traits_type::eq_int_type(c, std::streambuf::traits_type::eof()))
            return static_cast<unsigned char>(std::streambuf::traits_type::to_char_type(c));
        if (fdInput_ == nullptr || fdInput_->atEnd()) return -1;
    }
}

// Decodes one UTF-8 character onto units_. Bytes that do not form a character each read as U+FFFD.
BatchHost::Fill BatchHost::decodeCharacter() {
    for (;;) {
        const int first = readByte();
        if (first == -1) return Fill::End;
        if (first == -2) return Fill::Interrupted;

        // The rest of the character is waited for (a pipe may deliver it in two reads), but no byte beyond
        // it: the keyboard's next byte may be a long time coming.
        unsigned char bytes[UTF8_MAX_BYTES] = {static_cast<unsigned char>(first)};
        std::size_t count = 1;
        for (const std::size_t length = utf8Length(bytes[0]); count < length; ++count) {
            const int b = peekByte();
            if (b < 0 || (b & 0xC0) != 0x80) break; // the byte that ends the sequence starts the next one
            bytes[count] = static_cast<unsigned char>(in_.rdbuf()->sbumpc());
        }
        const Utf8Char c = decodeUtf8(bytes, count);

        const bool wasStart = atStartOfInput_;
        atStartOfInput_ = false;
        if (wasStart && c.codePoint == BYTE_ORDER_MARK) continue; // a UTF-8 signature is not text
        char16_t units[2];
        units_.append(units, static_cast<std::size_t>(toUtf16(c.codePoint, units)));
        // Continuation bytes taken that the character did not use each read as U+FFFD, as they would alone.
        units_.append(count - c.length, static_cast<char16_t>(REPLACEMENT_CHARACTER));
        return Fill::Ready;
    }
}

BatchHost::Fill BatchHost::ensureUnits(std::size_t count) {
    while (units_.size() - head_ < count) {
        if (ended_) return Fill::End;
        const Fill f = decodeCharacter();
        if (f == Fill::End) ended_ = true;
        if (f != Fill::Ready) return f;
    }
    return Fill::Ready;
}

void BatchHost::consume(std::size_t count) {
    head_ += count;
    if (head_ == units_.size()) {
        units_.clear();
        head_ = 0;
    } else if (head_ > 4096) {
        units_.erase(0, head_);
        head_ = 0;
    }
}

// One input line without its line end; nothing is consumed unless a line is returned.
BatchHost::Fill BatchHost::readLine(std::u16string& line) {
    const std::size_t limit = BATCH_LINE_UNITS;
    std::size_t n = 0;
    std::size_t taken = 0; // units consumed with the line, its line end included
    for (;;) {
        Fill f = ensureUnits(n + 1);
        if (f == Fill::Interrupted) return f;
        if (f == Fill::End) {
            if (n == 0) return Fill::End;
            taken = n; // a last line without a line end
            break;
        }
        const char16_t u = units_[head_ + n];
        if (u == LINE_FEED) {
            taken = n + 1;
            if (n > 0 && units_[head_ + n - 1] == CARRIAGE_RETURN) --n;
            break;
        }
        if (n == limit) {
            // The line is full; a line end right after it still belongs to it (no empty line follows).
            taken = n;
            if (u == CARRIAGE_RETURN) {
                f = ensureUnits(n + 2);
                if (f == Fill::Interrupted) return f;
                if (f == Fill::Ready && units_[head_ + n + 1] == LINE_FEED) taken = n + 2;
            }
            break;
        }
        if (n == limit - 1 && isHighSurrogate(u)) {
            // A pair is not split across two lines.
            f = ensureUnits(n + 2);
            if (f == Fill::Interrupted) return f;
            if (f == Fill::Ready && isLowSurrogate(units_[head_ + n + 1])) {
                taken = n;
                break;
            }
        }
        ++n;
    }
    line.assign(units_, head_, n);
    consume(taken);
    return Fill::Ready;
}

BatchHost::Fill BatchHost::readOneUnit(char16_t& unit) {
    const Fill f = ensureUnits(1);
    if (f != Fill::Ready) return f;
    unit = units_[head_];
    consume(1);
    if (unit == LINE_FEED) {
        unit = ENTER;
    } else if (unit == CARRIAGE_RETURN) {
        unit = ENTER;
        skipLineFeed_ = true; // CR LF is one Enter; the LF may not have arrived yet
    }
    return Fill::Ready;
}

char16_t virtualKeyFor(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - u'a' + u'A');
    if (c == LINE_FEED) return ENTER;
    return c; // digits, upper-case letters, space, Enter, tab, backspace and ESC are their own codes
}

bool BatchHost::requestInput(char16_t* buffer, int capacity, InputMode mode) {
    auto answer = [&](const char16_t* text, std::size_t count) {
        if (capacity <= 0) return;
        const std::size_t room = static_cast<std::size_t>(capacity) - 1;
        const std::size_t n = std::min(count, room);
        std::copy_n(text, n, buffer);
        std::fill(buffer + n, buffer + capacity, u'\0');
    };

    const char16_t breakChar = BREAK_CHAR;
    for (;;) {
        // About to wait: what was printed so far must be visible first.
        if (units_.size() == head_ && in_.rdbuf()->in_avail() <= 0) view_.flush();
        if (view_.failed()) break; // the output is gone: nobody can see what is asked

        Fill f = Fill::Ready;
        if (skipLineFeed_) {
            f = ensureUnits(1);
            if (f == Fill::Ready && units_[head_] == LINE_FEED) consume(1);
            if (f != Fill::Interrupted) skipLineFeed_ = false;
        }

        std::u16string line;
        char16_t unit = 0;
        if (f == Fill::Ready) {
            if (mode == InputMode::Line)
                f = readLine(line);
            else
                f = readOneUnit(unit);
        }

        if (f == Fill::Ready) {
            if (mode == InputMode::Line) {
                const std::u16string whole = typedAlready_ + line;
                typedAlready_.clear();
                answer(whole.data(), whole.size());
                // As typing and Enter would leave it; a terminal has shown the typing already.
                if (inputIsTerminal_) view_.setTranscriptMuted(true);
                console_.echoTyped(line.c_str());
                console_.newLine();
                view_.setTranscriptMuted(false);
            } else {
                const char16_t code = mode == InputMode::Key ? virtualKeyFor(unit) : unit;
                answer(&code, 1);
            }
            return true;
        }

        if (f == Fill::End) break;
        // Interrupted: Ctrl-C answers the open request, as the BREAK key does; another signal just resumes
        // the wait.
        if (breakFlag_ != nullptr && breakFlag_->load() != 0) {
            typedAlready_.clear();
            answer(&breakChar, 1);
            return true;
        }
    }
    typedAlready_.clear();
    answer(&breakChar, 1);
    if (breakFlag_ != nullptr) breakFlag_->store(1);
    return false;
}

bool BatchHost::inputClosed() {
    for (;;) {
        if (ended_) return true;
        // Only what has arrived is taken in; a stream that is no descriptor never waits.
        if (fdInput_ != nullptr && in_.rdbuf()->in_avail() <= 0 && !fdInput_->readable()) return false;
        if (ensureUnits(units_.size() - head_ + 1) == Fill::Interrupted) return false;
    }
}

// ---------------------------------------------------------------------------------------------------------
// BatchHost: clock and screen

std::uint32_t BatchHost::tickCount() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void BatchHost::sleepMs(int ms) {
    view_.flush(); // a program that pauses shows what it has printed
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void BatchHost::changeOrientation(int displayOrientation) {
    const int w = view_.screenWidth();
    const int h = view_.screenHeight();
    const int smaller = std::min(w, h);
    const int larger = std::max(w, h);
    if (displayOrientation == 0)
        view_.setScreenSize(smaller, larger);
    else if (displayOrientation == 1 || displayOrientation == 4)
        view_.setScreenSize(larger, smaller);
}

// ---------------------------------------------------------------------------------------------------------
// Running

ScriptSource::ScriptSource(std::string_view bytes) : reader_(ProgramFileReader::fromBytes(bytes)) {}

bool ScriptSource::readLine(char16_t* buffer, int capacity) {
    if (!reader_->readLine(buffer, capacity)) return false;
    if (started_) return true;
    started_ = true;
    const char16_t* text = buffer[0] == 0xFEFF ? buffer + 1 : buffer;
    if (text[0] != u'#' || text[1] != u'!') return true;
    skipped_ = 1;
    // A long first line comes in several pieces: all of them go.
    for (std::size_t n = textLength(buffer); n == 0 || buffer[n - 1] != LINE_FEED; n = textLength(buffer))
        if (!reader_->readLine(buffer, capacity)) return false;
    return reader_->readLine(buffer, capacity);
}

bool ScriptSource::failed() const {
    return reader_->failed();
}

namespace {

// Why the loader would refuse a line, or nullptr; withText says whether the message shows the line.
const char* refusal(const char16_t* line, bool& withText) {
    alignas(8) std::uint8_t tokens[LINE_BUFFER_BYTES];
    withText = true;
    if (!tokenizeLine(tokens, line)) return "Syntax Error";
    if (tokens[0] == TOK_FILLER && tokens[1] == TOK_DECIMAL) {
        withText = false;
        return load16(tokens + 2) == 0 ? "Invalid Line Number 0" : nullptr;
    }
    // A direct line cannot begin with a number: an indented line number becomes one.
    const std::uint8_t* p = tokens;
    while (*p == 0x20 || *p == 0x09 || *p == TOK_FILLER) ++p;
    return *p == TOK_DECIMAL || *p == TOK_HEX ? "Syntax Error" : nullptr;
}

} // namespace

bool checkScript(std::string_view bytes, const std::string& file, std::ostream& err, bool replaceControls) {
    ScriptSource source(bytes);
    ProgramLineReader lines(source);
    char16_t line[PROGRAM_LINE_UNITS];
    bool ok = true;
    while (lines.next(line)) {
        bool withText = false;
        const char* problem = refusal(line, withText);
        if (!problem) continue;
        ok = false;
        err << file << ':' << lines.lineNumber() + source.linesSkipped() << ": " << problem;
        if (withText) {
            // The line as read: without the mark that opens a file and without its line end.
            const char16_t* text = line[0] == 0xFEFF ? line + 1 : line;
            std::size_t n = textLength(text);
            if (n > 0 && text[n - 1] == CARRIAGE_RETURN) --n;
            std::u16string shown(text, n);
            if (replaceControls)
                for (char16_t& u : shown)
                    if (steersTerminal(u)) u = static_cast<char16_t>(REPLACEMENT_CHARACTER);
            err << ": " << utf8FromUtf16(shown.data(), shown.size());
        }
        err << '\n';
    }
    return ok;
}

namespace {

std::atomic<std::atomic<int>*> interruptTarget{nullptr};
std::atomic<bool> interruptSeen{false};
std::atomic<std::uint32_t> lastInterruptMs{0};
static_assert(std::atomic<std::atomic<int>*>::is_always_lock_free && std::atomic<bool>::is_always_lock_free &&
                  std::atomic<std::uint32_t>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the Ctrl-C handler may touch lock-free atomics only");

extern "C" void onInterrupt(int) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
    if (interruptSeen.load() && ms - lastInterruptMs.load() < 1000) _exit(130);
    lastInterruptMs.store(ms);
    interruptSeen.store(true);
    if (std::atomic<int>* target = interruptTarget.load()) target->store(1);
}

// Ctrl-C raises a break. No SA_RESTART: a read waiting for the keyboard returns and the break answers it.
class InterruptHandler {
  public:
    explicit InterruptHandler(std::atomic<int>* target) {
        interruptTarget.store(target);
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        installed_ = sigaction(SIGINT, &action, &previous_) == 0;
    }
    ~InterruptHandler() {
        if (installed_) sigaction(SIGINT, &previous_, nullptr);
        interruptTarget.store(nullptr);
    }
    InterruptHandler(const InterruptHandler&) = delete;
    InterruptHandler& operator=(const InterruptHandler&) = delete;

  private:
    struct sigaction previous_ {};
    bool installed_ = false;
};

enum class ScriptRead { Done, Failed, Broken };

// The whole file, read once: it may be a pipe. Failed when it cannot be read or is too large for a program;
// Broken when a break stopped the wait for it.
ScriptRead readScript(const std::string& file, std::string& bytes, const std::atomic<int>& breakFlag) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ScriptRead::Failed;
    ScriptRead result = ScriptRead::Done;
    char chunk[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got == 0) break;
        if (got < 0 && errno == EINTR) {
            if (breakFlag.load() == 0) continue;
            result = ScriptRead::Broken;
            break;
        }
        if (got < 0 || bytes.size() + static_cast<std::size_t>(got) > SCRIPT_MAX_BYTES) {
            result = ScriptRead::Failed; // a folder, a read error, no program's size
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);
    // A Ctrl-C that came as the reading ended stops it all the same.
    if (result == ScriptRead::Done && breakFlag.load() != 0) result = ScriptRead::Broken;
    return result;
}

// FILE run as RUN "FILE" runs it, once it has been read and checked whole. Only what the program writes
// goes to the output; the message that stops the run goes to err, and gives the status.
int runScript(Interpreter& interpreter, BatchView& view, const std::string& file, std::ostream& err,
              bool errorIsTerminal) {
    const std::u16string name = utf16FromUtf8(file);
    std::string bytes;
    // A name too long for any program file is refused whole, never cut to another name.
    const ScriptRead read = name.size() > MAX_FILE_NAME_UNITS
                                ? ScriptRead::Failed
                                : readScript(file, bytes, interpreter.breakRequested);
    if (read == ScriptRead::Broken) {
        err << file << ": Break in 0\n";
        return 130;
    }
    if (read == ScriptRead::Failed) {
        err << file << ": File Not Found or Load Error in 0\n";
        return 1;
    }
    if (!checkScript(bytes, file, err, errorIsTerminal)) return 1;

    ScriptSource lines(bytes);
    interpreter.resetInterpreter();
    interpreter.requestRunFile(name.c_str());
    view.setHoldMessages(true);
    interpreter.runUntilDirect(&lines); // to the end of the run, or EXIT
    view.setHoldMessages(false);
    const auto stop = view.takeHeldMessage();
    if (!stop || view.failed()) return 0;
    view.flush(); // what the program wrote comes before the message that ends it
    err << file << ": " << stop->text << '\n';
    return stop->isBreak ? 130 : 1;
}

} // namespace

int runBatchSession(std::istream& in, std::ostream& out, std::ostream& err, const BatchOptions& options) {
    // The console and the interpreter are large: they live on the heap.
    auto view = std::make_unique<BatchView>(out, options.width, options.height);
    view->setFlushAtNewLine(options.outputIsTerminal);
    view->setReplaceControls(options.outputIsTerminal);
    auto console = std::make_unique<Console>(*view, view.get());
    auto host = std::make_unique<BatchHost>(*console, *view, in, options.inputIsTerminal);
    auto interpreter = std::make_unique<Interpreter>(*console, *host);
    host->setBreakFlag(&interpreter->breakRequested);
    // A failed write stops the run at its next statement, and every wait gives up.
    view->setOnFailure([&flag = interpreter->breakRequested] { flag.store(1); });

    std::optional<InterruptHandler> interrupt;
    if (options.handleInterrupt) interrupt.emplace(&interpreter->breakRequested);

    int status = 0;
    if (options.file) {
        status = runScript(*interpreter, *view, *options.file, err, options.errorIsTerminal);
    } else {
        interpreter->startInterpreter();
        interpreter->interpreterLoop(); // returns on EXIT or at the end of the input
    }
    interrupt.reset();
    view->finish();
    if (view->failed()) {
        err << "tavikwm: standard output: " << view->failureText() << '\n';
        return 1;
    }
    return status;
}

int runBatch(const BatchOptions& options) {
    FdInputBuffer inputBuffer(STDIN_FILENO);
    std::istream in(&inputBuffer);
    FdOutputBuffer outputBuffer(STDOUT_FILENO);
    std::ostream out(&outputBuffer);
    BatchOptions o = options;
    o.inputIsTerminal = isatty(STDIN_FILENO) == 1;
    o.outputIsTerminal = isatty(STDOUT_FILENO) == 1;
    o.errorIsTerminal = isatty(STDERR_FILENO) == 1;
    return runBatchSession(in, out, std::cerr, o);
}

} // namespace tavik
