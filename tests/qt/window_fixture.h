#pragma once
// A shown main window with its interpreter running, and the waits and readings the window tests share.
// Every wait processes the window's events and is bounded, so that a hang fails the test.
#include "main_window.h"
#include "support/console_peer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace tavik::testing {

constexpr int PATIENCE_MS = 20000;

inline bool waitUntil(const std::function<bool()>& condition, int patienceMs = PATIENCE_MS) {
    QElapsedTimer waited;
    waited.start();
    while (!condition()) {
        if (waited.elapsed() > patienceMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qWait(1);
    }
    return true;
}

// The text of one grid row, trailing blanks dropped.
inline std::u16string rowText(Console& console, int row) {
    std::lock_guard<std::recursive_mutex> guard(console.lock());
    std::u16string text;
    for (int column = 0; column < console.screen().columns; ++column)
        text.push_back(static_cast<char16_t>(console.peekCell(column, row)));
    while (!text.empty() && text.back() == u' ') text.pop_back();
    return text;
}

inline std::string narrow(const std::u16string& text) {
    std::string out;
    for (const char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override { open({}); }
    void TearDown() override { window.reset(); }

    void open(WindowOptions options, bool start = true) {
        window.reset();
        window = std::make_unique<MainWindow>(options);
        window->show();
        if (start) {
            window->startInterpreter();
            ASSERT_TRUE(waitForPrompt(0));
        }
    }

    // Waits until more than `before` input requests have opened.
    bool waitForPrompt(int before) {
        return waitUntil(
            [&] { return window->inputRequestsOpened() > before && window->handoff().inputActive(); });
    }

    // Types a line into the console as keys and waits until the interpreter asks for the next one.
    void typeLine(const char* text) {
        const int before = window->inputRequestsOpened();
        QTest::keyClicks(&window->consoleWidget(), QString::fromUtf8(text));
        QTest::keyClick(&window->consoleWidget(), Qt::Key_Return);
        ASSERT_TRUE(waitForPrompt(before)) << "no prompt after " << text;
    }

    // The client area as painted now.
    QImage grabConsole() {
        window->consoleWidget().flush();
        return window->consoleWidget().grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    PixelRect consoleRect() { return window->console().consoleRect(); }
    const TextScreen& screen() { return window->console().screen(); }

    // Finds the row that shows `text` (from the top), or -1.
    int rowShowing(const char16_t* text) {
        for (int row = 0; row < screen().rows; ++row)
            if (rowText(window->console(), row) == text) return row;
        return -1;
    }

    std::unique_ptr<MainWindow> window;
};

} // namespace tavik::testing
