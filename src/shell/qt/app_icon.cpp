#include "app_icon.h"

#include <QPainter>

#include <algorithm>

namespace tavik {

QImage paintApplicationIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    // The body.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x20, 0x30, 0x60));
    p.drawRoundedRect(QRectF(s * 0.12, 0, s * 0.76, s), s * 0.1, s * 0.1);
    // The screen, black on white as the console starts.
    const QRectF screen(s * 0.2, s * 0.1, s * 0.6, s * 0.66);
    p.setBrush(Qt::white);
    p.drawRect(screen);
    // Two lines of text and the caret block after the second.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::black);
    const qreal line = std::max(1.0, s * 0.08);
    p.drawRect(QRectF(screen.left() + s * 0.06, screen.top() + s * 0.1, screen.width() * 0.7, line));
    p.drawRect(QRectF(screen.left() + s * 0.06, screen.top() + s * 0.28, screen.width() * 0.3, line));
    p.drawRect(QRectF(screen.left() + s * 0.06 + screen.width() * 0.38, screen.top() + s * 0.24,
                      std::max(1.0, s * 0.1), std::max(2.0, s * 0.14)));
    // The soft keys below the screen.
    p.setBrush(QColor(0x80, 0x80, 0x80));
    p.drawRect(QRectF(s * 0.22, s * 0.82, s * 0.22, std::max(1.0, s * 0.08)));
    p.drawRect(QRectF(s * 0.56, s * 0.82, s * 0.22, std::max(1.0, s * 0.08)));
    return image;
}

QIcon applicationIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 256}) icon.addPixmap(QPixmap::fromImage(paintApplicationIcon(size)));
    return icon;
}

} // namespace tavik
