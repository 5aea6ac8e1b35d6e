#pragma once
// What the console model asks of whatever shows it. What changed is the model's own record (its damage); the
// view is only told that there is some, and draws it when its turn comes by reading the model back under
// Console::lock(). Every request has a harmless default so that a view overrides only what it shows. What
// was printed, as opposed to what is shown, goes to a ConsoleTranscript.
#include "layout.h"
#include "screen_shape.h"

namespace tavik {

class ConsoleView : public ScreenShape {
  public:
    virtual ~ConsoleView() = default;

    // Device metrics: the screen's size (ScreenShape) and the client area in logical pixels.
    virtual PixelRect clientRect() const = 0;
    // Cell size of the console font at this pixel height.
    virtual CellSize measureFont(int fontHeight) = 0;

    // The model has damage to draw (Console::takeDamage): a repaint soon. Called with the console's lock
    // held, from either thread, after every change that shows; it must only schedule, never draw or wait.
    virtual void damaged() {}
    virtual void beep() {}
    virtual void cursorMoved() {} // the input method's composition window follows the cursor
};

} // namespace tavik
