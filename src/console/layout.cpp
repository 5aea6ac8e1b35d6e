#include "layout.h"

#include <algorithm>

namespace tavik {

PixelRect consoleRect(const PixelRect& client, int cellWidth, int cellHeight, int columns, int rows) {
    const int midX = client.left + client.width() / 2;
    const int midY = client.top + client.height() / 2;
    const int halfWidth = cellWidth * columns / 2;
    const int halfHeight = cellHeight * rows / 2;
    return {midX - halfWidth, midY - halfHeight, midX + halfWidth, midY + halfHeight};
}

bool cellAtPixel(const PixelRect& grid, int cellWidth, int cellHeight, int columns, int rows, int x, int y,
                 int& column, int& row) {
    if (cellWidth <= 0 || cellHeight <= 0 || x < grid.left || y < grid.top) return false;
    column = (x - grid.left) / cellWidth;
    row = (y - grid.top) / cellHeight;
    return column < columns && row < rows;
}

int squareSide(int screenWidth, int screenHeight, const PixelRect& client) {
    int lost = (screenWidth - client.right) + client.left;
    if (lost == 0) lost = (screenHeight - client.bottom) + client.top;
    return std::min(screenWidth, screenHeight) - lost;
}

int defaultFontHeight(int screenWidth, int screenHeight) {
    return std::min(screenWidth, screenHeight) / 30;
}

PlaneFit fitPlane(const PixelRect& band, int planeWidth, int planeHeight) {
    PlaneFit fit;
    // A plane of no size has no picture (and must not divide by zero).
    fit.scaleX = planeWidth > 0 ? band.width() / planeWidth : 0;
    fit.scaleY = planeHeight > 0 ? band.height() / planeHeight : 0;
    const int pictureWidth = planeWidth * fit.scaleX;
    const int pictureHeight = planeHeight * fit.scaleY;
    fit.picture.left = band.left + (band.width() - pictureWidth) / 2;
    fit.picture.top = band.top + (band.height() - pictureHeight) / 2;
    fit.picture.right = fit.picture.left + pictureWidth;
    fit.picture.bottom = fit.picture.top + pictureHeight;
    return fit;
}

char16_t glyphFor(char16_t code) {
    switch (code) {
    case 0x20: return 0x3000;
    case 0x22: return 0x201D;
    case 0x27: return 0x2019;
    case 0x5C: return 0xFFE5;
    case 0x7E: return 0xFF5E;
    default: break;
    }
    if (code >= 0x21 && code <= 0x7D) return static_cast<char16_t>(0xFF01 + (code - 0x21));
    return code;
}

} // namespace tavik
