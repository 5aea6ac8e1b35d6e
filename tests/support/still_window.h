#pragma once
// A window for hand-off tests that draws nothing and counts the break characters posted to it: each command
// typed for the user answers an open request with one.
#include "handoff.h"

namespace tavik::test {

class StillWindow final : public WindowPort, public ScreenPort {
  public:
    void postInputRequest(InputMode) override {}
    void postBreakChar() override { ++breakChars; }
    void postClose() override {}
    void startCaretTimer() override {}
    void stopCaretTimer() override {}
    int screenWidth() const override { return 480; }
    int screenHeight() const override { return 640; }
    void changeOrientation(int) override {}
    int breakChars = 0;
};

} // namespace tavik::test
