#pragma once
// A console view that shows nothing and remembers what it was asked: the requests as short event strings, and
// the transcript as the batch console would write it. Cells are square at the font height unless a fixed cell
// size is given.
#include "console_transcript.h"
#include "console_view.h"

#include <algorithm>
#include <string>
#include <vector>

namespace tavik::test {

class FakeView : public ConsoleView, public ConsoleTranscript {
  public:
    FakeView(int width = 480, int height = 640)
        : width_(width), height_(height), client_{0, 0, width, height} {}
    FakeView(int width, int height, PixelRect client) : width_(width), height_(height), client_(client) {}

    int screenWidth() const override { return width_; }
    int screenHeight() const override { return height_; }
    PixelRect clientRect() const override { return client_; }
    CellSize measureFont(int fontHeight) override {
        measuredHeights.push_back(fontHeight);
        return fixedCell.width > 0 ? fixedCell : CellSize{fontHeight, fontHeight};
    }

    void damaged() override { events.push_back("damaged"); }
    void beep() override { events.push_back("beep"); }
    void cursorMoved() override { ++cursorMoves; }

    void transcriptChar(char16_t c) override { transcript += c; }
    void transcriptNewLine() override { transcript += u'\n'; }
    void transcriptTab(int fromColumn, int toColumn) override {
        transcript.append(static_cast<std::size_t>(toColumn - fromColumn), u' ');
    }
    void transcriptBackspace() override { transcript += u'\b'; }

    // How many recorded events start with the given text ("damaged", "beep").
    int count(const std::string& prefix) const {
        return static_cast<int>(std::count_if(events.begin(), events.end(),
                                              [&](const std::string& e) { return e.rfind(prefix, 0) == 0; }));
    }
    void forget() {
        events.clear();
        transcript.clear();
        cursorMoves = 0;
    }

    CellSize fixedCell{};
    std::vector<std::string> events;
    std::vector<int> measuredHeights;
    std::u16string transcript;
    int cursorMoves = 0;

  private:
    int width_, height_;
    PixelRect client_;
};

} // namespace tavik::test
