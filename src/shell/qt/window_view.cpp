#include "window_view.h"

#include <algorithm>

namespace tavik {

WindowView::WindowView(int screenWidth, int screenHeight, int clientWidth, int clientHeight)
    : screenWidth_(screenWidth), screenHeight_(screenHeight), clientWidth_(clientWidth),
      clientHeight_(clientHeight) {}

void WindowView::attach(const Console& console, RepaintSink& sink) {
    console_ = &console;
    sink_ = &sink;
}

void WindowView::setGeometry(int screenWidth, int screenHeight, int clientWidth, int clientHeight) {
    screenWidth_ = screenWidth;
    screenHeight_ = screenHeight;
    if (clientWidth != clientWidth_ || clientHeight != clientHeight_) {
        clientWidth_ = clientWidth;
        clientHeight_ = clientHeight;
        // The grid keeps its cells and is centred anew: every pixel moves.
        invalidateAll();
    }
}

void WindowView::setScreenSize(int screenWidth, int screenHeight) {
    screenWidth_ = screenWidth;
    screenHeight_ = screenHeight;
}

CellSize WindowView::measureFont(int fontHeight) {
    return measureConsoleFont(tavik::consoleFont(fontHeight));
}

bool WindowView::rowSpoiled(int row) const {
    return allSpoiled_ || (row >= 0 && row < GRID_CAPACITY && rowSpoiled_[static_cast<std::size_t>(row)]);
}

void WindowView::spoilRow(int row) {
    if (row < 0 || row >= GRID_CAPACITY) return;
    rowSpoiled_[static_cast<std::size_t>(row)] = true;
    anyRowSpoiled_ = true;
    // Rows under the plane show the picture, not their text.
    if (console_ != nullptr && row < console_->screen.firstTextRow) planeSpoiled_ = true;
}

void WindowView::drawCell(int column, int row) {
    if (console_ == nullptr) return;
    // A spoiled row is drawn whole later; drawing into an image of the wrong size would be lost anyway.
    if (!rowSpoiled(row) && image_.size() == QSize(clientWidth_, clientHeight_))
        changed_ |= renderer_.paintCell(image_, *console_, clientRect(), column, row);
    if (sink_ != nullptr) sink_->requestRepaint();
}

void WindowView::invalidateRows(int firstRow, int lastRow) {
    for (int row = std::max(firstRow, 0); row <= std::min(lastRow, GRID_CAPACITY - 1); ++row) spoilRow(row);
    if (sink_ != nullptr) sink_->requestRepaint();
}

void WindowView::invalidateAll() {
    allSpoiled_ = true;
    if (sink_ != nullptr) sink_->requestRepaint();
}

void WindowView::repaintNow() {
    if (sink_ != nullptr) sink_->requestRepaint();
}

void WindowView::scrollRegionUp(int top, int height) {
    // Moving the pixels at every new line would cost a copy of the region per line; the rows are drawn
    // again from the model instead, once per repaint, however many lines went by.
    for (int row = top; row < top + height; ++row) spoilRow(row);
    if (sink_ != nullptr) sink_->requestRepaint();
}

void WindowView::plotPixel(int x, int y) {
    if (console_ == nullptr) return;
    if (!allSpoiled_ && !planeSpoiled_ && image_.size() == QSize(clientWidth_, clientHeight_))
        changed_ |= renderer_.paintPlanePixel(image_, *console_, clientRect(), x, y);
    if (sink_ != nullptr) sink_->requestRepaint();
}

void WindowView::beep() {
    if (sink_ != nullptr) sink_->requestBeep();
}

void WindowView::cursorMoved() {
    if (sink_ != nullptr) sink_->requestCursorUpdate();
}

QRect WindowView::bringUpToDate() {
    if (console_ == nullptr) return {};
    const QSize size(std::max(clientWidth_, 0), std::max(clientHeight_, 0));
    if (image_.size() != size) {
        image_ = QImage(size, QImage::Format_RGB32);
        allSpoiled_ = true;
    }
    if (image_.isNull()) {
        changed_ = QRect();
        return {};
    }
    const PixelRect client = clientRect();
    if (allSpoiled_) {
        renderer_.paintAll(image_, *console_, client);
        changed_ = image_.rect();
    } else {
        if (planeSpoiled_) changed_ |= renderer_.paintPlane(image_, *console_, client);
        if (anyRowSpoiled_) {
            for (int row = 0; row < GRID_CAPACITY; ++row)
                if (rowSpoiled_[static_cast<std::size_t>(row)])
                    changed_ |= renderer_.paintRow(image_, *console_, client, row);
        }
    }
    allSpoiled_ = false;
    planeSpoiled_ = false;
    anyRowSpoiled_ = false;
    rowSpoiled_.fill(false);
    const QRect changed = changed_ & image_.rect();
    changed_ = QRect();
    return changed;
}

QRect WindowView::cellRect(int column, int row) const {
    if (console_ == nullptr) return {};
    const TextScreen& s = console_->screen;
    const PixelRect grid = consoleRect(clientRect(), s.cellWidth, s.cellHeight, s.columns, s.rows);
    return QRect(grid.left + column * s.cellWidth, grid.top + row * s.cellHeight, s.cellWidth, s.cellHeight);
}

} // namespace tavik
