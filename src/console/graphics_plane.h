#pragma once
// The graphics plane: a bitmap of up to 1024 x 1024 pixels that the graph statement opens over the top text
// rows. Here it is pixels in memory; a window shows them enlarged.
#include "colour.h"

#include <cstdint>
#include <vector>

namespace tavik {

constexpr int PLANE_MAX_SIDE = 1024;
// What reading a pixel outside the bitmap yields (every component reads 255).
constexpr Colour INVALID_COLOUR = 0xFFFFFFFF;

struct GraphicsPlane {
    bool exists = false;
    int width = 0;
    int height = 0;
    std::vector<Colour> pixels; // row-major, width * height

    bool contains(int x, int y) const { return exists && x >= 0 && y >= 0 && x < width && y < height; }
    Colour at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

} // namespace tavik
