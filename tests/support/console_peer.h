#pragma once
// Tests and benchmarks set up screens that no sequence of operations makes quickly (a grid of a thousand
// glyphs, a caret scrolled away, a never-written cell): they reach the console's model through this peer.
#include "console.h"

namespace tavik {

struct ConsolePeer {
    explicit ConsolePeer(Console& console)
        : screen(console.screen_), plane(console.plane_), caretColumn(console.caretColumn_),
          caretRow(console.caretRow_), caretOn(console.caretOn_) {}

    TextScreen& screen;
    GraphicsPlane& plane;
    std::int32_t& caretColumn;
    std::int32_t& caretRow;
    std::int32_t& caretOn;
};

} // namespace tavik
