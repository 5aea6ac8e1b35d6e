#include "batch_view.h"

#include "fd_streams.h"
#include "utf16.h"
#include "utf8.h"

#include <cstring>

namespace tavik {

namespace {

constexpr std::size_t FLUSH_THRESHOLD = 1 << 16;

} // namespace

bool steersTerminal(char32_t c) {
    if (c < 0x20) return c != 0x0A && c != 0x09 && c != 0x08;
    return (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

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
        putCodePoint(combineSurrogates(pendingHigh_, c));
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

} // namespace tavik
