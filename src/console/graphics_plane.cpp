#include "console.h"

#include <algorithm>
#include <new>

namespace tavik {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

} // namespace

bool Console::openPlane(int rowsCovered, int width, int height) {
    Guard guard(lock);
    resetLayout();
    if (rowsCovered == 0) return true;
    // The graph statement checks these; a plane that left no text row, or of no size, is never made.
    if (rowsCovered < 0 || rowsCovered >= screen.rows || width < 1 || height < 1 || width > PLANE_MAX_SIDE ||
        height > PLANE_MAX_SIDE)
        return false;
    try {
        plane.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        // Without pixels there is no plane, and the rows stay with the text.
        plane.pixels = {};
        return false;
    }
    plane.exists = true;
    plane.width = width;
    plane.height = height;
    screen.firstTextRow = rowsCovered;
    clearPlane();
    setScrollRegion(rowsCovered, screen.rows - rowsCovered);
    return true;
}

void Console::closePlane() {
    Guard guard(lock);
    if (!plane.exists) return;
    plane.pixels = {}; // gives the memory back, not just the size
    plane.exists = false;
    plane.width = 0;
    plane.height = 0;
    screen.firstTextRow = 0;
}

void Console::clearPlane() {
    Guard guard(lock);
    if (!plane.exists) return;
    std::fill(plane.pixels.begin(), plane.pixels.end(), screen.background);
    view_.invalidateAll();
    view_.repaintNow();
}

void Console::plotPoint(int x, int y) {
    Guard guard(lock);
    // A point off the bitmap changes nothing and shows nothing (not even outside the picture).
    if (!plane.contains(x, y)) return;
    plane.pixels[static_cast<std::size_t>(y) * plane.width + x] = screen.foreground;
    view_.plotPixel(x, y);
}

Colour Console::pointColour(int x, int y) const {
    Guard guard(lock);
    if (!plane.exists) return screen.background;
    if (!plane.contains(x, y)) return INVALID_COLOUR;
    return plane.at(x, y);
}

} // namespace tavik
