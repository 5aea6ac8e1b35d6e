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
    Guard guard(lock_);
    if (row < 0 || row >= GRID_CAPACITY) return;
    for (int column = 0; column < screen_.columns; ++column) {
        const int i = TextScreen::cellIndex(column, row);
        screen_.cellChar[i] = 0x20;
        screen_.cellProtected[i] = 0;
        screen_.cellFore[i] = screen_.foreground;
        screen_.cellBack[i] = screen_.background;
    }
    screen_.rowContinues[row] = 0;
    damage_.cells(row, 0, screen_.columns);
}

void Console::clearAllRows() {
    Guard guard(lock_);
    for (int row = 0; row < screen_.rows; ++row) clearRow(row);
}

void Console::clearScreen() {
    Guard guard(lock_);
    inputLine_[0] = 0;
    setCursor(0, screen_.scrollTop);
    clearAllRows();
    damage_.all = true;
    view_.damaged();
}

std::uint16_t Console::peekCell(int column, int row) const {
    Guard guard(lock_);
    if (column < 0 || column >= screen_.columns || row < 0 || row >= screen_.rows) return 0xFFFF;
    return screen_.cellChar[TextScreen::cellIndex(column, row)];
}

int Console::cursorColumn() const {
    Guard guard(lock_);
    return screen_.cursorColumn;
}

int Console::cursorRow() const {
    Guard guard(lock_);
    return screen_.cursorRow;
}

void Console::setCursor(int column, int row) {
    Guard guard(lock_);
    screen_.cursorColumn = static_cast<std::int16_t>(column);
    screen_.cursorRow = static_cast<std::int16_t>(row);
    view_.cursorMoved();
}

void Console::locate(int column, int row) {
    Guard guard(lock_);
    setCursor(std::clamp(column, 0, screen_.columns - 1), std::clamp(row, 0, screen_.rows - 1));
}

void Console::setScrollRegion(int top, int height) {
    Guard guard(lock_);
    screen_.scrollTop = top;
    screen_.scrollHeight = height;
    if (screen_.cursorRow < top) {
        setCursor(0, top);
    } else if (screen_.cursorRow >= top + height) {
        setCursor(0, top + height - 1);
    }
}

int Console::rowCount() const {
    Guard guard(lock_);
    return screen_.rows;
}

void Console::setForeground(Colour colour) {
    Guard guard(lock_);
    screen_.foreground = colour;
}

void Console::setBackground(Colour colour) {
    Guard guard(lock_);
    screen_.background = colour;
}

void Console::measureFont() {
    Guard guard(lock_);
    const CellSize cell = view_.measureFont(screen_.fontHeight);
    // A cell of no size would leave the grid without pixels and the fit without a divisor.
    screen_.cellWidth = std::max(cell.width, 1);
    screen_.cellHeight = std::max(cell.height, 1);
}

void Console::setConsoleSize(int columns, int rows, int fontHeight) {
    Guard guard(lock_);
    screen_.columns = gridCount(columns);
    screen_.rows = gridCount(rows);
    screen_.fontHeight = fontHeight == 0 ? defaultFontHeight() : fontHeight;
    measureFont();
    setScrollRegion(0, screen_.rows);
    clearScreen();
}

void Console::fitConsole(int width, int height, int fontHeight) {
    Guard guard(lock_);
    screen_.fontHeight = fontHeight == 0 ? defaultFontHeight() : fontHeight;
    measureFont();
    screen_.columns = gridCount(width / screen_.cellWidth);
    screen_.rows = gridCount(height / screen_.cellHeight);
    setScrollRegion(0, screen_.rows);
    clearScreen();
}

void Console::resetLayout() {
    Guard guard(lock_);
    setScrollRegion(0, screen_.rows);
    closePlane();
    damage_.all = true;
    view_.damaged();
}

void Console::resetConsole() {
    Guard guard(lock_);
    setForeground(0x000000);
    setBackground(0xFFFFFF);
    resetLayout();
    const int side = squareSide();
    fitConsole(side, side, 16);
}

int Console::squareSide() const {
    Guard guard(lock_);
    return tavik::squareSide(view_.screenWidth(), view_.screenHeight(), view_.clientRect());
}

int Console::defaultFontHeight() const {
    Guard guard(lock_);
    return tavik::defaultFontHeight(view_.screenWidth(), view_.screenHeight());
}

void Console::setInputLine(std::u16string_view text) {
    Guard guard(lock_);
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(INPUT_LINE_UNITS - 1));
    std::copy_n(text.data(), n, inputLine_);
    inputLine_[n] = 0;
}

ScreenDamage Console::takeDamage() {
    Guard guard(lock_);
    ScreenDamage taken = damage_;
    damage_.clear();
    return taken;
}

void Console::damageAll() {
    Guard guard(lock_);
    damage_.all = true;
    view_.damaged();
}

void Console::damageRows(int firstRow, int lastRow) {
    for (int row = std::max(firstRow, 0); row <= std::min(lastRow, GRID_CAPACITY - 1); ++row)
        damage_.cells(row, 0, screen_.columns);
    view_.damaged();
}

CellLook Console::cellLook(int column, int row, CaretLook caret) const {
    Guard guard(lock_);
    if (column < 0 || column >= screen_.columns || row < 0 || row >= screen_.rows) return {};
    const int i = TextScreen::cellIndex(column, row);
    const std::uint16_t code = screen_.cellChar[i];
    const bool inverted =
        caret == CaretLook::Inverted && caretOn_ != 0 && column == caretColumn_ && row == caretRow_;
    return {code, glyphFor(code), inverted ? screen_.cellBack[i] : screen_.cellFore[i],
            inverted ? screen_.cellFore[i] : screen_.cellBack[i]};
}

int Console::rowLook(int row, CellLook* looks, CaretLook caret) const {
    Guard guard(lock_);
    if (row < 0 || row >= screen_.rows || row >= GRID_CAPACITY) return 0;
    const int columns = std::min(screen_.columns, GRID_CAPACITY);
    for (int column = 0; column < columns; ++column) {
        const int i = TextScreen::cellIndex(column, row);
        const std::uint16_t code = screen_.cellChar[i];
        looks[column] = {code, glyphFor(code), screen_.cellFore[i], screen_.cellBack[i]};
    }
    if (caret == CaretLook::Inverted && caretOn_ != 0 && caretRow_ == row && caretColumn_ >= 0 &&
        caretColumn_ < columns)
        std::swap(looks[caretColumn_].fore, looks[caretColumn_].back);
    return columns;
}

ConsoleGeometry Console::geometry() const {
    Guard guard(lock_);
    ConsoleGeometry g;
    g.columns = screen_.columns;
    g.rows = screen_.rows;
    g.cellWidth = screen_.cellWidth;
    g.cellHeight = screen_.cellHeight;
    g.fontHeight = screen_.fontHeight;
    g.firstTextRow = screen_.firstTextRow;
    g.cursorColumn = screen_.cursorColumn;
    g.cursorRow = screen_.cursorRow;
    g.client = view_.clientRect();
    g.grid = tavik::consoleRect(g.client, g.cellWidth, g.cellHeight, g.columns, g.rows);
    g.band = {g.grid.left, g.grid.top, g.grid.right, g.grid.top + screen_.firstTextRow * g.cellHeight};
    g.planeShown = plane_.exists && screen_.firstTextRow > 0;
    if (g.planeShown) {
        g.planeWidth = plane_.width;
        g.planeHeight = plane_.height;
        g.fit = fitPlane(g.band, plane_.width, plane_.height);
    }
    return g;
}

PixelRect Console::consoleRect() const {
    Guard guard(lock_);
    return tavik::consoleRect(view_.clientRect(), screen_.cellWidth, screen_.cellHeight, screen_.columns,
                              screen_.rows);
}

} // namespace tavik
