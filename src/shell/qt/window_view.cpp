#include "window_view.h"

#include <algorithm>
#include <cmath>

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

void WindowView::setDevicePixelRatio(double ratio) {
    if (ratio <= 0 || ratio == renderer_.scale()) return;
    renderer_.setScale(ratio);
    invalidateAll();
}

QSize WindowView::deviceSize() const {
    const double ratio = renderer_.scale();
    const auto up = [ratio](int v) { return static_cast<int>(std::ceil(std::max(v, 0) * ratio - 1e-9)); };
    return QSize(up(clientWidth_), up(clientHeight_));
}

QRect WindowView::toLogical(const QRect& device) const {
    const double ratio = renderer_.scale();
    if (ratio == 1.0 || device.isEmpty()) return device;
    const int left = static_cast<int>(std::floor(device.left() / ratio));
    const int top = static_cast<int>(std::floor(device.top() / ratio));
    const int right = static_cast<int>(std::ceil((device.right() + 1) / ratio));
    const int bottom = static_cast<int>(std::ceil((device.bottom() + 1) / ratio));
    return QRect(left, top, right - left, bottom - top);
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
    if (console_ != nullptr && row < console_->screen().firstTextRow) planeSpoiled_ = true;
}

void WindowView::drawCell(int column, int row) {
    if (console_ == nullptr) return;
    // A spoiled row is drawn whole later; drawing into an image of the wrong size would be lost anyway.
    if (!rowSpoiled(row) && image_.size() == deviceSize())
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
    if (!allSpoiled_ && !planeSpoiled_ && image_.size() == deviceSize())
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
    const QSize size = deviceSize();
    if (image_.size() != size || image_.devicePixelRatio() != renderer_.scale()) {
        image_ = QImage(size, QImage::Format_RGB32);
        image_.setDevicePixelRatio(renderer_.scale());
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
    const TextScreen& s = console_->screen();
    const PixelRect grid = consoleRect(clientRect(), s.cellWidth, s.cellHeight, s.columns, s.rows);
    return QRect(grid.left + column * s.cellWidth, grid.top + row * s.cellHeight, s.cellWidth, s.cellHeight);
}

} // namespace tavik
