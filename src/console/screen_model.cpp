#include "console.h"

#include <algorithm>

namespace tavik {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

// The grid has room for 100 x 100 cells; a count outside 1..100 would write past it or leave no cell at all.
int gridCount(int count) {
    return std::clamp(count, 1, GRID_CAPACITY);
}

} // namespace

Console::Console(ConsoleView& view, ConsoleTranscript* transcript) : view_(view), transcript_(transcript) {}

void Console::clearRow(int row) {
    Guard guard(lock);
    if (row < 0 || row >= GRID_CAPACITY) return;
    for (int column = 0; column < screen.columns; ++column) {
        const int i = TextScreen::cellIndex(column, row);
        screen.cellChar[i] = 0x20;
        screen.cellProtected[i] = 0;
        screen.cellFore[i] = screen.foreground;
        screen.cellBack[i] = screen.background;
    }
    screen.rowContinues[row] = 0;
}

void Console::clearAllRows() {
    Guard guard(lock);
    for (int row = 0; row < screen.rows; ++row) clearRow(row);
}

void Console::clearScreen() {
    Guard guard(lock);
    inputLine[0] = 0;
    setCursor(0, screen.scrollTop);
    clearAllRows();
    view_.invalidateAll();
}

std::uint16_t Console::peekCell(int column, int row) const {
    Guard guard(lock);
    if (column < 0 || column >= screen.columns || row < 0 || row >= screen.rows) return 0xFFFF;
    return screen.cellChar[TextScreen::cellIndex(column, row)];
}

int Console::cursorColumn() const {
    Guard guard(lock);
    return screen.cursorColumn;
}

int Console::cursorRow() const {
    Guard guard(lock);
    return screen.cursorRow;
}

void Console::setCursor(int column, int row) {
    Guard guard(lock);
    screen.cursorColumn = static_cast<std::int16_t>(column);
    screen.cursorRow = static_cast<std::int16_t>(row);
    view_.cursorMoved();
}

void Console::locate(int column, int row) {
    Guard guard(lock);
    setCursor(std::clamp(column, 0, screen.columns - 1), std::clamp(row, 0, screen.rows - 1));
}

void Console::setScrollRegion(int top, int height) {
    Guard guard(lock);
    screen.scrollTop = top;
    screen.scrollHeight = height;
    if (screen.cursorRow < top) {
        setCursor(0, top);
    } else if (screen.cursorRow >= top + height) {
        setCursor(0, top + height - 1);
    }
}

int Console::rowCount() const {
    Guard guard(lock);
    return screen.rows;
}

void Console::setForeground(Colour colour) {
    Guard guard(lock);
    screen.foreground = colour;
}

void Console::setBackground(Colour colour) {
    Guard guard(lock);
    screen.background = colour;
}

void Console::measureFont() {
    Guard guard(lock);
    const CellSize cell = view_.measureFont(screen.fontHeight);
    // A cell of no size would leave the grid without pixels and the fit without a divisor.
    screen.cellWidth = std::max(cell.width, 1);
    screen.cellHeight = std::max(cell.height, 1);
}

void Console::setConsoleSize(int columns, int rows, int fontHeight) {
    Guard guard(lock);
    screen.columns = gridCount(columns);
    screen.rows = gridCount(rows);
    screen.fontHeight = fontHeight == 0 ? defaultFontHeight() : fontHeight;
    measureFont();
    setScrollRegion(0, screen.rows);
    clearScreen();
}

void Console::fitConsole(int width, int height, int fontHeight) {
    Guard guard(lock);
    screen.fontHeight = fontHeight == 0 ? defaultFontHeight() : fontHeight;
    measureFont();
    screen.columns = gridCount(width / screen.cellWidth);
    screen.rows = gridCount(height / screen.cellHeight);
    setScrollRegion(0, screen.rows);
    clearScreen();
}

void Console::resetLayout() {
    Guard guard(lock);
    setScrollRegion(0, screen.rows);
    closePlane();
    view_.invalidateAll();
    view_.repaintNow();
}

void Console::resetConsole() {
    Guard guard(lock);
    setForeground(0x000000);
    setBackground(0xFFFFFF);
    resetLayout();
    const int side = squareSide();
    fitConsole(side, side, 16);
}

int Console::squareSide() const {
    Guard guard(lock);
    return tavik::squareSide(view_.screenWidth(), view_.screenHeight(), view_.clientRect());
}

int Console::defaultFontHeight() const {
    Guard guard(lock);
    return tavik::defaultFontHeight(view_.screenWidth(), view_.screenHeight());
}

PixelRect Console::consoleRect() const {
    Guard guard(lock);
    return tavik::consoleRect(view_.clientRect(), screen.cellWidth, screen.cellHeight, screen.columns,
                              screen.rows);
}

} // namespace tavik
