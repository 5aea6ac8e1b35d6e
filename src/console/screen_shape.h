#pragma once
// The device's screen size, one question that the console (to fit its grid), the interpreter (orient) and
// the hand-off (the window's turn) all ask of whoever shows them: declared here once.

namespace tavik {

class ScreenShape {
  public:
    virtual ~ScreenShape() = default;
    // The screen's size in logical pixels (SM_CXSCREEN/SM_CYSCREEN; the window's, on the desktop).
    virtual int screenWidth() const = 0;
    virtual int screenHeight() const = 0;
};

} // namespace tavik
