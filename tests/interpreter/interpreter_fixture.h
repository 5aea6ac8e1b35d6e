#pragma once
// An interpreter over a fake console view and a scripted host (tests/support). The view's transcript is
// what the console was given: messages end in "\a\r\n", of which only the LF reaches it.
#include "console.h"
#include "interpreter.h"
#include "support/fake_host.h"
#include "support/fake_view.h"
#include "support/interpreter_peer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace tavik::test {

using Bytes = std::vector<std::uint8_t>;

class InterpreterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host.breakFlag = &interp.breakRequested;
        interp.resetInterpreter();
        view.forget();
    }

    // The TokenLine of source, through its end byte; nullopt on a syntax error.
    static std::optional<Bytes> tokens(const std::u16string& source) {
        alignas(8) std::uint8_t out[LINE_BUFFER_BYTES] = {};
        if (!tokenizeLine(out, source.c_str())) return std::nullopt;
        return Bytes(out, skipToLineEnd(out) + 1);
    }

    // Tokenises source into lineBuffer (as the direct loop would, quietly) and points readPtr at it.
    void load(const std::u16string& source) {
        ASSERT_TRUE(tokenizeLine(peer.lineBuffer, source.c_str())) << "does not tokenise";
        peer.readPtr = peer.lineBuffer;
    }

    // The value of an expression evaluated in direct mode; the transcript tells whether it failed.
    std::int16_t eval(const std::u16string& expression) {
        peer.errorFlag = 0;
        load(expression);
        if (HasFatalFailure()) return 0;
        return peer.evalExpression();
    }

    // Runs one typed line in direct mode (no loop around it); returns what it gave the console.
    std::u16string exec(const std::u16string& line) {
        view.forget();
        peer.errorFlag = 0;
        peer.directMode = 1;
        interp.breakRequested.store(0); // as the direct loop does when it takes up a typed line
        load(line);
        if (HasFatalFailure()) return {};
        peer.executeStatements();
        return view.transcript;
    }

    // Runs one line like exec, then lets the loop act on what it asked for, until the input runs dry.
    std::u16string request(const std::u16string& line) {
        exec(line);
        host.answers.clear();
        interp.interpreterLoop();
        return view.transcript;
    }

    // Stores the program lines (typed as in direct mode), then types the rest through the loop until the
    // input runs dry. Returns what the console was given after the program was entered.
    std::u16string session(std::initializer_list<std::u16string> program,
                           std::initializer_list<std::u16string> typed) {
        for (const auto& line : program) enter(line);
        view.forget();
        host.answers.assign(typed.begin(), typed.end());
        peer.runRequest = RunRequest::None;
        peer.errorFlag = 0;
        peer.directMode = 1; // as after start-up, even when the last session ended inside a run
        interp.interpreterLoop();
        return view.transcript;
    }
    std::u16string session(std::initializer_list<std::u16string> typed) { return session({}, typed); }

    // Enters one program line as the direct loop does, outside any session.
    void enter(const std::u16string& line) {
        peer.errorFlag = 0;
        load(line);
        if (HasFatalFailure()) return;
        ASSERT_EQ(peer.lineBuffer[1], TOK_DECIMAL) << "not a program line";
        peer.storeLine();
        peer.clearRunState();
    }

    // What LIST shows of the whole program.
    std::u16string list() {
        view.forget();
        peer.listLines(nullptr, 1, 32767);
        return view.transcript;
    }

    static std::u16string u16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

    // The program area from offset 0 through the end marker.
    Bytes area() const { return Bytes(peer.program.area, peer.program.area + peer.program.usedBytes); }

    FakeView view;
    Console console{view, &view};
    FakeHost host;
    Interpreter interp{console, host};
    InterpreterPeer peer{interp};
};

// A fresh folder per test, removed with everything in it afterwards.
class TempDir {
  public:
    TempDir() {
        static int counter = 0;
        path = std::filesystem::temp_directory_path() /
               ("tavik-interp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path, ec);
    }
    std::u16string name(const std::string& leaf) const {
        const std::string s = (path / leaf).string();
        return std::u16string(s.begin(), s.end());
    }
    std::filesystem::path path;
};

inline Bytes readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void writeBytes(const std::filesystem::path& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
// UTF-16LE bytes of text, with the byte-order mark first unless told otherwise.
inline Bytes utf16(const std::u16string& text, bool mark = true) {
    Bytes out;
    if (mark) out = {0xFF, 0xFE};
    for (char16_t u : text) {
        out.push_back(static_cast<std::uint8_t>(u));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return out;
}

} // namespace tavik::test
