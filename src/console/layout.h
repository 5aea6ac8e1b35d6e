#pragma once
// Pixel arithmetic of the console: where the grid sits in the window, how big the square console area is,
// how the graphics plane is enlarged into its band, and the full-width glyph every cell is drawn with.
// Pure functions: no window, no state.
#include <cstdint>

namespace tavik {

struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const PixelRect&) const = default;
};

struct CellSize {
    int width = 0, height = 0;
};

struct PlaneFit {
    int scaleX = 0, scaleY = 0;
    PixelRect picture;
};

// The grid centred in the client area (halvings truncate, as on the handheld).
PixelRect consoleRect(const PixelRect& client, int cellWidth, int cellHeight, int columns, int rows);

// The cell (column, row) under the pixel (x, y) of a grid drawn from grid's top-left corner; false for a
// pixel beside or beyond the grid's cells.
bool cellAtPixel(const PixelRect& grid, int cellWidth, int cellHeight, int columns, int rows, int x, int y,
                 int& column, int& row);

// The largest square the client area offers on this screen: the smaller screen side less what the window
// loses across (or, for a window as wide as the screen, down) it.
int squareSide(int screenWidth, int screenHeight, const PixelRect& client);

// The smaller screen side divided by 30: the deffontsize value and the height `width ...,0` chooses.
int defaultFontHeight(int screenWidth, int screenHeight);

// Whole enlargement factors of a bw x bh plane inside its band, and the centred picture rectangle.
PlaneFit fitPlane(const PixelRect& band, int planeWidth, int planeHeight);

// The glyph a cell's code is drawn as: printable ASCII becomes its full-width form (space the ideographic
// space, quotes the typographic ones, backslash the yen sign, tilde U+FF5E); everything else is unchanged.
char16_t glyphFor(char16_t code);

} // namespace tavik
