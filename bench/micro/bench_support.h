#pragma once
// A console with no window and a host with no keyboard, so that the interpreter runs alone under a benchmark.
#include "../../tests/interpreter/interpreter_peer.h"
#include "console.h"
#include "interpreter.h"

#include <string>
#include <vector>

namespace tavik::bench {

class NullView final : public ConsoleView {
  public:
    int screenWidth() const override { return 480; }
    int screenHeight() const override { return 640; }
    PixelRect clientRect() const override { return {0, 0, 480, 640}; }
    CellSize measureFont(int fontHeight) override { return {fontHeight, fontHeight}; }
};

class NullHost final : public Host {
  public:
    bool requestInput(char16_t* buffer, int capacity, InputMode) override {
        if (capacity > 0) buffer[0] = 0;
        return false;
    }
    std::uint32_t tickCount() override { return 0; }
    void sleepMs(int) override {}
    bool keyDown(int) override { return false; }
    int screenWidth() const override { return 480; }
    int screenHeight() const override { return 640; }
    void changeOrientation(int) override {}
};

class NullStream final : public OutputStream {
  public:
    bool write(const char16_t*, std::size_t count) override {
        units += count;
        return true;
    }
    std::size_t units = 0;
};

// The interpreter is large (its program area is 48 KiB): it lives on the heap.
struct Machine {
    NullView view;
    Console console{view};
    NullHost host;
    Interpreter interp{console, host};
    Machine() { interp.resetInterpreter(); }
};

// A source line in the form the tokenizer takes: UTF-16, 0-terminated.
inline std::u16string source(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

// The token bytes of a line, in a buffer as long as lineBuffer.
inline std::vector<std::uint8_t> tokens(const std::string& text) {
    std::vector<std::uint8_t> out(LINE_BUFFER_BYTES);
    const std::u16string s = source(text);
    if (!tokenizeLine(out.data(), s.c_str())) out.clear();
    return out;
}

} // namespace tavik::bench
