#include "window_view.h"

#include <algorithm>
#include <cmath>

namespace tavik {

WindowView::WindowView(int screenWidth, int screenHeight, int clientWidth, int clientHeight)
    : screenWidth_(screenWidth), screenHeight_(screenHeight), clientWidth_(clientWidth),
      clientHeight_(clientHeight) {}

void WindowView::attach(Console& console, RepaintSink& sink) {
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
        redrawAll();
    }
}

void WindowView::setScreenSize(int screenWidth, int screenHeight) {
    screenWidth_ = screenWidth;
    screenHeight_ = screenHeight;
}

void WindowView::setDevicePixelRatio(double ratio) {
    if (ratio <= 0 || ratio == renderer_.scale()) return;
    renderer_.setScale(ratio);
    redrawAll();
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

void WindowView::redrawAll() {
    if (console_ != nullptr) console_->damageAll();
    if (sink_ != nullptr) sink_->requestRepaint();
}

// What to draw is the console's damage, taken at the repaint.
void WindowView::damaged() {
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
    // Taken even when nothing can be drawn: a new image is drawn whole anyway.
    const ScreenDamage damage = console_->takeDamage();
    const QSize size = deviceSize();
    bool whole = damage.all;
    if (image_.size() != size || image_.devicePixelRatio() != renderer_.scale()) {
        image_ = QImage(size, QImage::Format_RGB32);
        image_.setDevicePixelRatio(renderer_.scale());
        whole = true;
    }
    if (image_.isNull()) return {};
    const ConsoleGeometry g = console_->geometry();
    if (whole) {
        renderer_.paintAll(image_, *console_, g);
        return image_.rect();
    }
    QRect changed;
    if (damage.planeChanged())
        changed |= renderer_.paintPlanePixels(image_, *console_, g, damage.planePixels);
    if (damage.anyRow) {
        for (int row = std::max(g.firstTextRow, 0); row < g.rows; ++row) {
            const ScreenDamage::Span span = damage.rows[static_cast<std::size_t>(row)];
            if (!span.empty())
                changed |= renderer_.paintCells(image_, *console_, g, row, span.left, span.right);
        }
    }
    return changed & image_.rect();
}

QRect WindowView::cellRect(int column, int row) const {
    if (console_ == nullptr) return {};
    return toQRect(console_->geometry().cellRect(column, row));
}

} // namespace tavik
