#include "batch_input.h"

#include "utf16.h"
#include "utf8.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace tavik {

namespace {

constexpr char16_t LINE_FEED = 0x0A;
constexpr char16_t CARRIAGE_RETURN = 0x0D;
constexpr char16_t ENTER = 0x0D;
constexpr char32_t BYTE_ORDER_MARK = 0xFEFF;

} // namespace

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

} // namespace tavik
