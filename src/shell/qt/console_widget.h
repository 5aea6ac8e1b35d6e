#pragma once
// The client area of the main window: shows the view's backing image, takes the keyboard and the input
// method's commit strings, and answers the input method's questions with the cursor cell. It is also the
// view's RepaintSink: the requests from other threads arrive here as posted events.
#include "window_view.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <atomic>

namespace tavik {

class Console;

// Where the keyboard goes: the main window.
class KeyboardSink {
  public:
    virtual ~KeyboardSink() = default;
    // Ctrl with a key (no Shift, no Alt): true when it was an accelerator, which then goes no further.
    virtual bool accelerator(int virtualKey) = 0;
    virtual void keyDown(int virtualKey) = 0;
    virtual void keyUp(int virtualKey) = 0;
    virtual void character(char16_t unit) = 0;
    virtual void focusLost() = 0;
    // Shift+Insert or Ctrl+Shift+V: the desktop's paste keys (Ctrl+V alone types its control code).
    virtual void paste() = 0;
    // A primary-button press at (x, y), in the console's pixels.
    virtual void pressed(int x, int y) = 0;
};

class ConsoleWidget final : public QWidget, public RepaintSink {
  public:
    ConsoleWidget(Console& console, WindowView& view, KeyboardSink& keyboard, QWidget* parent = nullptr);

    // --- RepaintSink, any thread ---
    void requestRepaint() override;
    void requestBeep() override;
    void requestCursorUpdate() override;

    // Brings the image up to date now and schedules the widget's repaint of what changed.
    void flush();
    // The cursor cell in widget coordinates (where the input method puts its composition window).
    QRect cursorCellRect() const;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool focusNextPrevChild(bool next) override;

  private:
    // Tells the view when the widget's screen has another pixel density than when it last looked.
    void followPixelRatio();

    Console& console_;
    WindowView& view_;
    KeyboardSink& keyboard_;
    std::atomic<bool> repaintPosted_{false};
    std::atomic<bool> cursorMoved_{false};
    qreal seenPixelRatio_ = 0;
    // Output that arrives faster than a screen refresh is drawn at most once per interval.
    QElapsedTimer sinceFlush_;
    QTimer flushTimer_;
};

} // namespace tavik
