#pragma once
// The window's view of the console: a backing image of the client area. The console's requests, from
// whichever thread, only ask the window to repaint soon; when it does, the view takes the console's damage
// and draws just that into the image from the model. No widget is touched here: the view asks its
// RepaintSink, which only posts to the window's queue.
//
// Locking: every member runs under the console's lock (the console takes it before it calls a view request;
// the window takes it before it reads the image or changes the geometry).
#include "console_renderer.h"
#include "console_view.h"

#include <QImage>
#include <QRect>

#include <algorithm>

namespace tavik {

// What the view asks of the window. Called from any thread, with the console's lock held; each only queues.
class RepaintSink {
  public:
    virtual ~RepaintSink() = default;
    virtual void requestRepaint() = 0;
    virtual void requestBeep() = 0;
    virtual void requestCursorUpdate() = 0;
};

// The smallest console area the layout is given, in logical pixels: about 10 x 10 cells of the reset's
// 16-pixel font. A window that is smaller still (a window manager that ignores the minimum size, or a tiny
// screen) shows the top-left part of that grid, and a reset there never makes the console smaller than it, so
// that the grid is whole again when the window grows.
constexpr int MIN_CONSOLE_SIDE = 200;

class WindowView final : public ConsoleView {
  public:
    WindowView(int screenWidth, int screenHeight, int clientWidth, int clientHeight);

    // Two-step construction: the console needs its view first, the view reads that console.
    void attach(Console& console, RepaintSink& sink);

    // The user-interface thread, when the window or its client area changes size.
    void setGeometry(int screenWidth, int screenHeight, int clientWidth, int clientHeight);
    // The interpreter thread, when it turns the screen: the new shape counts at once, before the window
    // has followed it.
    void setScreenSize(int screenWidth, int screenHeight);
    // The user-interface thread, when the window is shown on a screen of another pixel density: the image
    // takes that many device pixels per logical pixel and everything is drawn again at that fineness.
    void setDevicePixelRatio(double ratio);
    double devicePixelRatio() const { return renderer_.scale(); }
    // The image's size in device pixels: the client area's, scaled and rounded up.
    QSize deviceSize() const;
    // A rectangle of the image (device pixels) as the widget's logical pixels that cover it.
    QRect toLogical(const QRect& device) const;

    // --- ConsoleView ---
    int screenWidth() const override { return screenWidth_ + floorGain(); }
    int screenHeight() const override { return screenHeight_ + floorGain(); }
    PixelRect clientRect() const override {
        return {0, 0, clientWidth_ + floorGain(), clientHeight_ + floorGain()};
    }
    CellSize measureFont(int fontHeight) override;
    void damaged() override;
    void beep() override;
    void cursorMoved() override;

    // --- the user-interface thread ---
    // Draws what the console damaged since the last call (everything, for a new image) and returns the part
    // of the image (device pixels) that changed.
    QRect bringUpToDate();
    const QImage& image() const { return image_; }
    // A cell's pixel rectangle in the client area.
    QRect cellRect(int column, int row) const;
    const QFont& consoleFont() { return renderer_.glyphs().font(); }
    ConsoleRenderer& renderer() { return renderer_; }

  private:
    // What every side of the screen and of the client area gains so that the client area's smaller side
    // reaches MIN_CONSOLE_SIDE: the soft keys' share stays as it is, and so does the square's arithmetic.
    int floorGain() const {
        return std::max({0, MIN_CONSOLE_SIDE - clientWidth_, MIN_CONSOLE_SIDE - clientHeight_});
    }
    // Everything moved: the grid is centred anew, or drawn at another fineness.
    void redrawAll();

    Console* console_ = nullptr;
    RepaintSink* sink_ = nullptr;
    ConsoleRenderer renderer_;
    int screenWidth_;
    int screenHeight_;
    int clientWidth_;
    int clientHeight_;
    QImage image_;
};

} // namespace tavik
