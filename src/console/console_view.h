#pragma once
// What the console model asks of whatever shows it. The model calls these after it has changed; a view reads
// the model back (under Console::lock) to draw. Every request has a harmless default so that a view overrides
// only what it shows. What was printed, as opposed to what is shown, goes to a ConsoleTranscript.
#include "layout.h"

namespace tavik {

class ConsoleView {
  public:
    virtual ~ConsoleView() = default;

    // Device metrics: the screen (SM_CXSCREEN/SM_CYSCREEN) and the client area in logical pixels.
    virtual int screenWidth() const = 0;
    virtual int screenHeight() const = 0;
    virtual PixelRect clientRect() const = 0;
    // Cell size of the console font at this pixel height.
    virtual CellSize measureFont(int fontHeight) = 0;

    // Drawing requests.
    virtual void drawCell(int /*column*/, int /*row*/) {}
    virtual void invalidateRows(int /*firstRow*/, int /*lastRow*/) {} // repaint with background erased
    virtual void invalidateAll() {}                                   // whole client area, no erase
    virtual void repaintNow() {}                                      // UpdateWindow
    virtual void scrollRegionUp(int /*top*/, int /*height*/) {}       // pixels of rows top.. move up a row
    virtual void plotPixel(int /*x*/, int /*y*/) {}                   // one enlarged plane pixel
    virtual void beep() {}
    virtual void cursorMoved() {} // the input method's composition window follows the cursor
};

} // namespace tavik
