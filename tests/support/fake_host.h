#pragma once
// A host for tests that answers input requests from one queue. When the queue runs dry it answers Ctrl-C,
// raises a break and reports the input closed, which ends a session driven through interpreterLoop. It
// records the modes asked for, the sleeps and the orientations, and holds the keys and the clock a test
// sets.
#include "host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace tavik::test {

class FakeHost : public Host {
  public:
    bool requestInput(char16_t* buffer, int capacity, InputMode mode) override {
        modes.push_back(mode);
        if (answers.empty()) {
            buffer[0] = BREAK_CHAR;
            buffer[1] = 0;
            if (breakFlag) breakFlag->store(1);
            return false;
        }
        const std::u16string answer = answers.front();
        answers.pop_front();
        int n = 0;
        for (; n < capacity - 1 && n < static_cast<int>(answer.size()); ++n) buffer[n] = answer[n];
        buffer[n] = 0;
        return true;
    }
    std::uint32_t tickCount() override { return ticks; }
    void sleepMs(int ms) override {
        sleeps.push_back(ms);
        if (onSleep) onSleep();
    }
    bool keyDown(int virtualKey) override {
        if (virtualKey < 0 || virtualKey > 255) {
            ADD_FAILURE() << "key table read at " << virtualKey;
            return true;
        }
        return keys[virtualKey];
    }
    int screenWidth() const override { return width; }
    int screenHeight() const override { return height; }
    void changeOrientation(int displayOrientation) override { orientations.push_back(displayOrientation); }

    std::deque<std::u16string> answers;
    std::vector<InputMode> modes;
    std::atomic<int>* breakFlag = nullptr;
    std::uint32_t ticks = 0;
    bool keys[256] = {};
    std::vector<int> sleeps;
    std::function<void()> onSleep;
    int width = 480, height = 640;
    std::vector<int> orientations;
};

} // namespace tavik::test
