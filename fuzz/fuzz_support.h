#pragma once
// What the fuzz targets share: a console view and a host that answer from the input and stop runaway
// programs, checks of the program store and of the listing round trip, and a confined file layer. A broken
// invariant aborts with a message, which libFuzzer reports as a crash.
#include "console.h"
#include "console_view.h"
#include "interpreter.h"
#include "program_file.h"
#include "support/interpreter_peer.h"
#include "support/quiet_machine.h"
#include "tokenizer.h"
#include "tokens.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tavik::fuzz {

[[noreturn]] inline void fail(const char* what, long detail = 0) {
    std::fprintf(stderr, "invariant broken: %s (%ld)\n", what, detail);
    std::abort();
}
inline void require(bool ok, const char* what, long detail = 0) {
    if (!ok) fail(what, detail);
}

// Raises a break when the interpreter has gone quiet for too long: a loop that touches neither the host nor
// the console (10 GOTO 10) has nothing else to stop it. Host and view calls count as activity.
class Watchdog {
  public:
    explicit Watchdog(std::chrono::milliseconds quiet) : quiet_(quiet), thread_([this] { run(); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            ending_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    void watch(std::atomic<int>* flag) {
        std::lock_guard<std::mutex> hold(mutex_);
        target_ = flag;
        wake_.notify_all();
    }
    void unwatch() {
        std::lock_guard<std::mutex> hold(mutex_);
        target_ = nullptr;
    }
    void activity() { activity_.fetch_add(1, std::memory_order_relaxed); }

  private:
    void run() {
        std::unique_lock<std::mutex> hold(mutex_);
        unsigned long seen = 0;
        while (!ending_) {
            if (!target_) {
                wake_.wait(hold, [this] { return ending_ || target_ != nullptr; });
                seen = activity_.load(std::memory_order_relaxed);
                continue;
            }
            wake_.wait_for(hold, quiet_);
            const unsigned long now = activity_.load(std::memory_order_relaxed);
            if (target_ && now == seen) target_->store(1, std::memory_order_relaxed);
            seen = now;
        }
    }

    std::chrono::milliseconds quiet_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<int>* target_ = nullptr;
    bool ending_ = false;
    std::atomic<unsigned long> activity_{0};
    std::thread thread_;
};

inline Watchdog& watchdog() {
    static Watchdog dog(std::chrono::milliseconds(10));
    return dog;
}

// Counts what a run asks of the host and the console, and breaks it when one typed line has asked too much:
// a deterministic stop for loops that print, wait or read the clock.
class Budget {
  public:
    void reset() { used_ = 0; }
    void spend() {
        watchdog().activity();
        if (++used_ > LIMIT && flag) flag->store(1, std::memory_order_relaxed);
    }
    std::atomic<int>* flag = nullptr;

  private:
    static constexpr int LIMIT = 4000;
    int used_ = 0;
};

// The quiet view of the shared fakes, each drawing request spending the budget.
class FuzzView : public test::QuietView {
  public:
    explicit FuzzView(Budget& budget) : budget_(budget) {}
    void damaged() override { budget_.spend(); }
    void beep() override { budget_.spend(); }

  private:
    Budget& budget_;
};

// Answers input requests from a list of typed lines; a character or key request takes the first unit of the
// next line. When the lines run out, the input closes, as at the end of a script.
class FuzzHost : public Host {
  public:
    explicit FuzzHost(Budget& budget) : budget_(budget) {}
    bool requestInput(char16_t* buffer, int capacity, InputMode mode) override {
        budget_.spend();
        budget_.reset();
        if (next_ >= lines.size()) {
            buffer[0] = BREAK_CHAR;
            buffer[1] = 0;
            if (budget_.flag) budget_.flag->store(1);
            return false;
        }
        const std::u16string& line = lines[next_++];
        if (!line.empty() && line[0] == BREAK_CHAR) {
            // The BREAK key: the request is answered with Ctrl-C and a break is raised.
            buffer[0] = BREAK_CHAR;
            buffer[capacity > 1 ? 1 : 0] = 0;
            if (budget_.flag) budget_.flag->store(1);
            return true;
        }
        if (mode != InputMode::Line) {
            buffer[0] = line.empty() ? char16_t(13) : line[0];
            if (mode == InputMode::Key) buffer[0] = static_cast<char16_t>(buffer[0] & 0xFF);
            buffer[capacity > 1 ? 1 : 0] = 0;
            return true;
        }
        std::size_t n = 0;
        for (; n + 1 < static_cast<std::size_t>(capacity) && n < line.size(); ++n) buffer[n] = line[n];
        buffer[n] = 0;
        return true;
    }
    std::uint32_t tickCount() override {
        budget_.spend();
        return ticks_ += 7;
    }
    void sleepMs(int) override { budget_.spend(); }
    bool keyDown(int virtualKey) override {
        budget_.spend();
        return (virtualKey * 31 + static_cast<int>(next_)) % 5 == 0;
    }
    int screenWidth() const override { return width_; }
    int screenHeight() const override { return height_; }
    void changeOrientation(int displayOrientation) override {
        budget_.spend();
        const bool landscape = displayOrientation != 0;
        width_ = landscape ? 640 : 480;
        height_ = landscape ? 480 : 640;
    }

    std::vector<std::u16string> lines;

  private:
    Budget& budget_;
    std::size_t next_ = 0;
    std::uint32_t ticks_ = 0;
    int width_ = 480;
    int height_ = 640;
};

// An interpreter over the fuzz view and host, with the watchdog on its break flag while it lives.
struct Machine {
    Machine() {
        budget.flag = &interp.breakRequested;
        watchdog().watch(&interp.breakRequested);
    }
    ~Machine() { watchdog().unwatch(); }
    Budget budget;
    FuzzView view{budget};
    Console console{view};
    FuzzHost host{budget};
    Interpreter interp{console, host};
};

using test::MemoryStream;

// Walks one TokenLine element by element, independently of skipToLineEnd, and checks the format: type bytes
// and the end byte at odd offsets (from an even start), payloads ending in a 0 unit, no structural or control
// byte standing alone, a remark right after its keyword. Returns the offset of the end byte.
inline std::size_t checkTokenLine(const std::uint8_t* line, std::size_t limit) {
    std::size_t i = 0;
    std::uint8_t previous = 0, beforePrevious = 0;
    for (;;) {
        require(i < limit, "line runs past its room", static_cast<long>(i));
        const std::uint8_t b = line[i];
        if (b == TOK_END) {
            require(i % 2 == 1, "end byte at an even offset", static_cast<long>(i));
            return i;
        }
        if (b >= TOK_DECIMAL && b <= TOK_REMARK) {
            require(i % 2 == 1, "type byte at an even offset", static_cast<long>(i));
            if (b == TOK_REMARK) {
                const bool afterKeyword =
                    previous == T_REM || previous == TOK_APOSTROPHE ||
                    (previous == TOK_FILLER && (beforePrevious == T_REM || beforePrevious == TOK_APOSTROPHE));
                require(afterKeyword, "remark without its keyword", static_cast<long>(i));
            }
            if (b <= TOK_HEX) {
                i += 3;
            } else {
                std::size_t k = i + 1;
                for (;; k += 2) {
                    require(k + 1 < limit, "payload without its end unit", static_cast<long>(k));
                    if (line[k] == 0 && line[k + 1] == 0) break;
                }
                i = k + 2;
            }
        } else {
            require(b != 0x00 && !(b < 0x20 && b != 0x09), "stray control byte", b);
            i += 1;
        }
        beforePrevious = previous;
        previous = b;
    }
}

// The program store as a whole: records in strictly rising order, none numbered 0, each one well formed and
// measured by skipToLineEnd, and usedBytes counting them and the end marker.
inline void checkStore(Interpreter& interp) {
    InterpreterPeer peer{interp};
    std::size_t offset = 0;
    unsigned last = 0;
    for (;;) {
        require(offset + 2 <= PROGRAM_AREA_BYTES, "walk ran off the area", static_cast<long>(offset));
        const std::uint8_t* r = peer.program.area + offset;
        const unsigned number = load16(r);
        if (number == 0) break;
        require(number > last, "records out of order", static_cast<long>(number));
        require(number <= 32767, "line number above 32767", static_cast<long>(number));
        last = number;
        const unsigned length = load16(r + 2);
        require(length >= 6 && length % 2 == 0, "bad record length", static_cast<long>(length));
        require(offset + length + 2 <= PROGRAM_AREA_BYTES, "record past the area", static_cast<long>(offset));
        // The record stands for the line FF 01 n n + body, so offsets count from the record's start.
        std::vector<std::uint8_t> asLine(r, r + length);
        asLine[0] = TOK_FILLER;
        asLine[1] = TOK_DECIMAL;
        require(checkTokenLine(asLine.data(), length) == length - 1, "record length and end byte disagree",
                static_cast<long>(number));
        require(skipToLineEnd(r + 4) == r + length - 1, "skipToLineEnd misses the record end",
                static_cast<long>(number));
        offset += length;
    }
    require(peer.program.usedBytes == offset + 2, "usedBytes disagrees with the records",
            peer.program.usedBytes);
    require(peer.program.usedBytes < PROGRAM_AREA_BYTES, "no room left for the array",
            peer.program.usedBytes);
}

// The longest line the console and the file reader deliver, in units.
constexpr std::size_t LINE_UNITS = SOURCE_LINE_UNITS - 1;

// A byte-order mark inside a line becomes a filler that no listing shows: such a line is the one kind that
// does not list back to its own bytes. True when the text has a mark anywhere but at the start of a line.
inline bool hasInnerMark(const std::u16string& text) {
    for (std::size_t i = 1; i < text.size(); ++i)
        if (text[i] == 0xFEFF && text[i - 1] != u'\n') return true;
    return false;
}

// Each stored line, listed and tokenised again, gives back its own bytes; and, for lines as the console and
// the file reader deliver them (at most 255 units, no line feed), the listing fits one line of a program
// file, so that SAVE and LOAD keep it.
inline void checkListingRoundTrip(Interpreter& interp, bool linesFit = true) {
    InterpreterPeer peer{interp};
    for (const std::uint8_t* r = peer.program.area; load16(r) != 0; r += load16(r + 2)) {
        const std::uint16_t number = load16(r);
        MemoryStream listed;
        require(peer.listLines(&listed, number, number), "listing to memory failed", number);
        const std::u16string& text = listed.text;
        require(text.size() >= 2 && text.compare(text.size() - 2, 2, u"\r\n") == 0, "listing without CR LF",
                number);
        const std::u16string line = text.substr(0, text.size() - 2);
        if (linesFit) {
            require(line.size() <= LINE_UNITS, "listed line longer than a file line",
                    static_cast<long>(line.size()));
            require(line.find(u'\n') == std::u16string::npos, "listed line holds a line feed", number);
        }
        alignas(8) std::uint8_t again[LINE_BUFFER_BYTES];
        require(tokenizeLine(again, line.c_str()), "listed line does not tokenise", number);
        const std::uint16_t length = load16(r + 2);
        require(again[0] == TOK_FILLER && again[1] == TOK_DECIMAL && load16(again + 2) == number,
                "listed line lost its number", number);
        require(skipToLineEnd(again + 4) - again + 1 == length, "listed line tokenises to another length",
                number);
        require(std::memcmp(again + 4, r + 4, length - 4u) == 0, "listed line tokenises to other bytes",
                number);
    }
}

// Lets a program save only inside the current folder (the fuzzer's scratch folder), never elsewhere.
class ConfinedFileLayer : public FileWriteLayer {
  public:
    std::FILE* createNew(const std::filesystem::path& path) override {
        if (!confined(path)) return nullptr;
        return FileWriteLayer::createNew(path);
    }
    bool rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
        if (!confined(from) || !confined(to)) return false;
        return FileWriteLayer::rename(from, to);
    }
    // Flushing to the disk would only slow the fuzzer down.
    int flush(std::FILE* file) override { return std::fflush(file); }
    bool syncFolder(const std::filesystem::path&) override { return true; }

  private:
    static bool confined(const std::filesystem::path& path) {
        if (path.is_absolute() || path.has_root_name() || path.has_root_directory()) return false;
        for (const auto& part : path)
            if (part == "..") return false;
        return true;
    }
};

// Makes a fresh scratch folder the current folder, so that whatever programs load or save by a relative
// name stays there; the confined layer refuses every other save. The fuzzer's corpus folders and
// -artifact_prefix must therefore be given as absolute paths (fuzz/run.sh does).
inline void enterScratchFolder(const char* tag) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / (std::string("tavik-fuzz-") + tag + "-" +
                                                      std::to_string(static_cast<long>(::getpid())));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
    static ConfinedFileLayer layer;
    FileWriteLayer::install(&layer);
    static fs::path made;
    made = dir;
    std::atexit([] {
        std::error_code ec;
        fs::current_path(made.parent_path(), ec);
        fs::remove_all(made, ec);
    });
}

// Empties the scratch folder, so that saved files cannot pile up over millions of runs.
inline void clearScratchFolder() {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::current_path(), ec)) fs::remove_all(entry.path(), ec);
}

} // namespace tavik::fuzz
