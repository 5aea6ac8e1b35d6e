#pragma once
// The console's memory: a fixed 100 x 100 column-major grid of cells with colours and a protection flag,
// per-row continuation flags that join rows into logical lines, the cursor, the scroll region and the
// current drawing colours. The model knows nothing of pixels beyond the cell size the view measured.
#include "colour.h"

#include <cstdint>

namespace tavik {

constexpr int GRID_CAPACITY = 100;

struct TextScreen {
    std::int32_t columns = 20;
    std::int32_t rows = 20;
    std::int32_t scrollTop = 0;
    std::int32_t scrollHeight = 20;
    std::int32_t fontHeight = 16;
    Colour foreground = 0x000000;
    Colour background = 0xFFFFFF;
    std::int16_t cursorColumn = 0;
    std::int16_t cursorRow = 0;
    // Cell (c, r) is entry c * 100 + r: all rows of column 0 come first.
    std::uint16_t cellChar[GRID_CAPACITY * GRID_CAPACITY] = {};
    Colour cellFore[GRID_CAPACITY * GRID_CAPACITY] = {};
    Colour cellBack[GRID_CAPACITY * GRID_CAPACITY] = {};
    std::int32_t cellProtected[GRID_CAPACITY * GRID_CAPACITY] = {};
    std::uint8_t rowContinues[GRID_CAPACITY] = {};
    std::int32_t firstTextRow = 0;
    std::int32_t cellWidth = 16;
    std::int32_t cellHeight = 16;

    static constexpr int cellIndex(int column, int row) { return column * GRID_CAPACITY + row; }
};

} // namespace tavik
