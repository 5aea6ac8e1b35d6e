#pragma once
// A console with no window and a host with no keyboard, quiet and cheap, so that the interpreter runs alone:
// under a benchmark, or wherever a test only needs a machine. Also the two output streams a listing is
// written to when nobody reads it on a screen: one that keeps the text, one that only counts it.
#include "console.h"
#include "console_view.h"
#include "host.h"
#include "interpreter.h"
#include "program_io.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavik::test {

class QuietView : public ConsoleView {
  public:
    int screenWidth() const override { return 480; }
    int screenHeight() const override { return 640; }
    PixelRect clientRect() const override { return {0, 0, 480, 640}; }
    CellSize measureFont(int fontHeight) override { return {fontHeight, fontHeight}; }
};

// Every input request finds the input closed.
class QuietHost : public Host {
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

// The interpreter is large (its program area is 48 KiB): a machine lives on the heap.
struct QuietMachine {
    QuietView view;
    Console console{view};
    QuietHost host;
    Interpreter interp{console, host};
    QuietMachine() { interp.resetInterpreter(); }
};

// Listed text, kept in memory.
class MemoryStream : public OutputStream {
  public:
    bool write(const char16_t* units, std::size_t count) override {
        text.append(units, count);
        return true;
    }
    std::u16string text;
};

// Listed text, only counted.
class CountingStream final : public OutputStream {
  public:
    bool write(const char16_t*, std::size_t count) override {
        units += count;
        return true;
    }
    std::size_t units = 0;
};

} // namespace tavik::test
