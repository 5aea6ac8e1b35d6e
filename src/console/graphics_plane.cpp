#include "console.h"

#include <algorithm>
#include <new>

namespace tavik {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

} // namespace

bool Console::openPlane(int rowsCovered, int width, int height) {
    Guard guard(lock_);
    resetLayout();
    if (rowsCovered == 0) return true;
    // The graph statement checks these; a plane that left no text row, or of no size, is never made.
    if (rowsCovered < 0 || rowsCovered >= screen_.rows || width < 1 || height < 1 || width > PLANE_MAX_SIDE ||
        height > PLANE_MAX_SIDE)
        return false;
    try {
        plane_.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        // Without pixels there is no plane, and the rows stay with the text.
        plane_.pixels = {};
        return false;
    }
    plane_.exists = true;
    plane_.width = width;
    plane_.height = height;
    screen_.firstTextRow = rowsCovered;
    clearPlane();
    setScrollRegion(rowsCovered, screen_.rows - rowsCovered);
    return true;
}

void Console::closePlane() {
    Guard guard(lock_);
    if (!plane_.exists) return;
    plane_.pixels = {}; // gives the memory back, not just the size
    plane_.exists = false;
    plane_.width = 0;
    plane_.height = 0;
    screen_.firstTextRow = 0;
    damage_.all = true;
}

void Console::clearPlane() {
    Guard guard(lock_);
    if (!plane_.exists) return;
    std::fill(plane_.pixels.begin(), plane_.pixels.end(), screen_.background);
    damage_.all = true;
    view_.damaged();
}

void Console::plotPoint(int x, int y) {
    Guard guard(lock_);
    plotPointLocked(x, y);
}

void Console::plotPointLocked(int x, int y) {
    // A point off the bitmap changes nothing and shows nothing (not even outside the picture).
    if (!plane_.contains(x, y)) return;
    plane_.pixels[static_cast<std::size_t>(y) * plane_.width + x] = screen_.foreground;
    damage_.planePixel(x, y);
    view_.damaged();
}

Colour Console::pointColour(int x, int y) const {
    Guard guard(lock_);
    if (!plane_.exists) return screen_.background;
    if (!plane_.contains(x, y)) return INVALID_COLOUR;
    return plane_.at(x, y);
}

} // namespace tavik
