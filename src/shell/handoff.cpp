#include "handoff.h"

#include "caret.h"

#include <algorithm>
#include <chrono>

namespace tavik {

namespace {

// How long one turn of the host's events lasts while the interpreter waits without a second thread.
constexpr int PUMP_SLICE_MS = 10;

using ConsoleGuard = std::lock_guard<std::recursive_mutex>;

constexpr char16_t ENTER = 13;

} // namespace

InputHandoff::InputHandoff(Console& console, WindowPort& window, ScreenPort& screen, EventPump* pump)
    : console_(console), window_(window), screen_(screen), pump_(pump), editor_(console) {}

// ---------------------------------------------------------------------------------------------------------
// Interpreter thread

bool InputHandoff::requestInput(char16_t* buffer, int capacity, InputMode mode) {
    if (capacity <= 0) return false;
    auto brokenOff = [&] {
        buffer[0] = BREAK_CHAR;
        std::fill(buffer + 1, buffer + capacity, u'\0');
        if (capacity == 1) buffer[0] = 0;
        raiseBreak();
        return false;
    };
    if (closing_.load()) return brokenOff();

    window_.postInputRequest(mode);
    if (pump_ && !pumpUntilAnswered()) return brokenOff();
    {
        std::unique_lock<std::mutex> hold(mutex_);
        changed_.wait(hold, [&] { return inputReady_ || closing_.load(); });
        // An answer handed over just as the application ends is still taken, so the giver is released.
        if (!inputReady_) return brokenOff();
        inputReady_ = false;
        {
            ConsoleGuard guard(console_.lock());
            const char16_t* answer = console_.inputLine();
            int n = 0;
            while (n < capacity - 1 && answer[n] != 0) {
                buffer[n] = answer[n];
                ++n;
            }
            std::fill(buffer + n, buffer + capacity, u'\0');
            console_.setInputLine(u"");
        }
        inputConsumed_ = pump_ == nullptr;
    }
    changed_.notify_all();
    return true;
}

bool InputHandoff::pumpUntilAnswered() {
    // No lock is held while the events run: their handlers take it to answer.
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            if (inputReady_) return true;
            if (closing_.load()) return false;
        }
        pump_->pumpEvents(PUMP_SLICE_MS);
    }
}

std::uint32_t InputHandoff::tickCount() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void InputHandoff::sleepMs(int ms) {
    if (ms <= 0) return;
    if (pump_) {
        // The host's events go on while the program sleeps; the sleep ends at its time, not after it.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!closing_.load()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0) return;
            pump_->pumpEvents(static_cast<int>(std::min<long long>(left.count(), PUMP_SLICE_MS)));
        }
        return;
    }
    std::unique_lock<std::mutex> hold(mutex_);
    changed_.wait_for(hold, std::chrono::milliseconds(ms), [&] { return closing_.load(); });
}

bool InputHandoff::keyDown(int virtualKey) {
    if (virtualKey < 0 || virtualKey >= static_cast<int>(keys_.size())) return false;
    return keys_[static_cast<std::size_t>(virtualKey)].load(std::memory_order_relaxed) != 0;
}

// ---------------------------------------------------------------------------------------------------------
// User-interface thread

void InputHandoff::completeInput() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        inputReady_ = true;
    }
    changed_.notify_all();
    // With one thread the interpreter cannot run until this handler returns: waiting would never end.
    if (pump_) return;
    std::unique_lock<std::mutex> hold(mutex_);
    changed_.wait(hold, [&] { return inputConsumed_ || closing_.load(); });
    inputConsumed_ = false;
}

void InputHandoff::answerWith(char16_t code) {
    {
        ConsoleGuard guard(console_.lock());
        console_.setInputLine(std::u16string_view(&code, 1));
    }
    completeInput();
}

void InputHandoff::endRequest() {
    inputActive_ = false;
    window_.stopCaretTimer();
    hideCaret(console_);
}

void InputHandoff::handleInputRequest(InputMode mode) {
    if (closing_.load()) return;
    if (!pendingInput_.empty()) {
        if (mode != InputMode::Line) {
            // A command text is meant for the prompt, not for the character or key a program waits for: the
            // program is broken off, and the text waits for the line request that follows the break.
            raiseBreak();
            answerWith(BREAK_CHAR);
            return;
        }
        const std::u16string text = std::move(pendingInput_);
        pendingInput_.clear();
        for (const char16_t unit : text) {
            if (editor_.editKey(unit)) {
                completeInput();
                break;
            }
        }
        return;
    }
    inputActive_ = true;
    inputMode_ = mode;
    placeCaret(console_);
    window_.startCaretTimer();
    if (mode == InputMode::Line) typeWaitingUnits();
}

void InputHandoff::typeAhead(std::u16string_view units) {
    if (closing_.load() || units.empty()) return;
    if (typeAheadDone_ == typeAhead_.size()) discardTypeAhead();
    typeAhead_.append(units);
    if (inputActive_ && inputMode_ == InputMode::Line) typeWaitingUnits();
}

void InputHandoff::typeWaitingUnits() {
    while (inputActive_ && typeAheadDone_ < typeAhead_.size()) {
        const char16_t unit = typeAhead_[typeAheadDone_++];
        if (editor_.editKey(unit)) {
            completeInput();
            endRequest();
        }
    }
    if (typeAheadDone_ == typeAhead_.size()) discardTypeAhead();
}

void InputHandoff::discardTypeAhead() {
    typeAhead_.clear();
    typeAhead_.shrink_to_fit();
    typeAheadDone_ = 0;
}

void InputHandoff::handleChar(char16_t ch) {
    if (closing_.load()) return;
    // Ctrl-C also takes back what is left of a paste, even while the program runs between requests.
    if (ch == BREAK_CHAR) discardTypeAhead();
    if (!inputActive_) return;
    if (ch == BREAK_CHAR) {
        answerWith(ch);
        endRequest();
        return;
    }
    switch (inputMode_) {
    case InputMode::Char:
        answerWith(ch);
        endRequest();
        break;
    case InputMode::Line:
        if (editor_.editKey(ch)) {
            completeInput();
            endRequest();
        }
        break;
    case InputMode::Key: break;
    }
}

void InputHandoff::handleKeyDown(int virtualKey) {
    if (virtualKey >= 0 && virtualKey < static_cast<int>(keys_.size()))
        keys_[static_cast<std::size_t>(virtualKey)].store(1, std::memory_order_relaxed);
    if (closing_.load() || !inputActive_) return;
    switch (inputMode_) {
    case InputMode::Key:
        answerWith(static_cast<char16_t>(virtualKey & 0xFFFF));
        endRequest();
        break;
    case InputMode::Line: editor_.editKeyDown(virtualKey); break;
    case InputMode::Char: break;
    }
}

bool InputHandoff::handleCellClick(int column, int row) {
    if (closing_.load() || !inputActive_ || inputMode_ != InputMode::Line) return false;
    return editor_.placeCursor(column, row);
}

void InputHandoff::handleKeyUp(int virtualKey) {
    if (virtualKey >= 0 && virtualKey < static_cast<int>(keys_.size()))
        keys_[static_cast<std::size_t>(virtualKey)].store(0, std::memory_order_relaxed);
}

void InputHandoff::handleFocusLost() {
    for (auto& key : keys_) key.store(0, std::memory_order_relaxed);
}

void InputHandoff::handleTimer() {
    if (closing_.load() || !inputActive_) return;
    caretTick(console_);
}

TypeResult InputHandoff::typeForUser(std::u16string_view text) {
    if (text.size() > static_cast<std::size_t>(PENDING_INPUT_UNITS)) return TypeResult::TooLong;
    // Typing the text must answer exactly the request that finds it: one carriage return, at its end.
    if (!text.empty() && (text.back() != ENTER || text.find(ENTER) != text.size() - 1 ||
                          text.find(u'\0') != std::u16string_view::npos))
        return TypeResult::NotALine;
    if (inputActive_) window_.postBreakChar();
    raiseBreak();
    discardTypeAhead();
    pendingInput_.assign(text);
    return TypeResult::Accepted;
}

void InputHandoff::raiseBreak() {
    breakFlag_->store(1);
}

void InputHandoff::shutdown() {
    // The break first: a program woken from its wait must find it before its next statement.
    raiseBreak();
    {
        std::lock_guard<std::mutex> hold(mutex_);
        closing_.store(true);
    }
    changed_.notify_all();
}

} // namespace tavik
