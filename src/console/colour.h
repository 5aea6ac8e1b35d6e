#pragma once
#include <cstdint>

namespace tavik {

// Colours are kept as 0x00BBGGRR everywhere in the model; only a painter converts them.
using Colour = std::uint32_t;

constexpr Colour rgb(unsigned r, unsigned g, unsigned b) {
    return r | (g << 8) | (b << 16);
}
// The stock grey of the margins around the grid and of the frame around the plane's picture.
constexpr Colour MARGIN_GREY = 0x808080;
constexpr Colour PLANE_FRAME = 0x808080;

constexpr unsigned redOf(Colour c) {
    return c & 0xFF;
}
constexpr unsigned greenOf(Colour c) {
    return (c >> 8) & 0xFF;
}
constexpr unsigned blueOf(Colour c) {
    return (c >> 16) & 0xFF;
}

} // namespace tavik
