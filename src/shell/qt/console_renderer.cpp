#include "console_renderer.h"

#include "utf16.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace tavik {

namespace {

// A full cache is dropped whole: a program that cycles through many colours must not grow it for ever. The
// budget holds a whole 100 x 100 grid of different cells at the usual sizes.
constexpr std::size_t GLYPH_CACHE_BYTES = std::size_t{32} << 20;
constexpr std::size_t GLYPH_CACHE_MIN_ENTRIES = 1024;

// The faces tried in turn for the console: the handheld's own Gothic first, then its desktop look-alikes.
const QStringList& consoleFamilies() {
    static const QStringList families{"MS Gothic", "IPAGothic", "VL Gothic", "Noto Sans Mono CJK JP"};
    return families;
}

// The first family of the list that is installed, else empty. Looked up once: the font database is not
// cheap to ask, and the answer does not change while the program runs.
const QString& installedConsoleFamily() {
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        for (const QString& wanted : consoleFamilies())
            if (installed.contains(wanted, Qt::CaseInsensitive)) return wanted;
        return QString();
    }();
    return family;
}

} // namespace

QRgb toRgb(Colour colour) {
    return qRgb(static_cast<int>(redOf(colour)), static_cast<int>(greenOf(colour)),
                static_cast<int>(blueOf(colour)));
}

QRect toQRect(const PixelRect& rect) {
    return QRect(rect.left, rect.top, rect.width(), rect.height());
}

QFont consoleFont(int pixelHeight) {
    QFont font;
    const QString& family = installedConsoleFamily();
    if (family.isEmpty()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    } else {
        font.setFamilies(consoleFamilies());
    }
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setWeight(QFont::Normal);
    font.setPixelSize(std::max(pixelHeight, 1));
    return font;
}

CellSize measureConsoleFont(const QFont& font) {
    const QFontMetrics metrics(font);
    return {std::max(metrics.horizontalAdvance(QChar(0xFF21)), 1), std::max(metrics.height(), 1)};
}

// ---------------------------------------------------------------------------------------------------------

void GlyphCache::configure(int fontHeight, CellSize cell) {
    if (fontHeight == fontHeight_ && cell.width == cell_.width && cell.height == cell_.height) return;
    fontHeight_ = fontHeight;
    cell_ = cell;
    font_ = consoleFont(fontHeight);
    ascent_ = QFontMetrics(font_).ascent();
    images_.clear();
}

std::uint64_t GlyphCache::keyOf(char16_t glyph, Colour fore, Colour back) {
    return (std::uint64_t{glyph} << 48) | (std::uint64_t{fore & 0xFFFFFF} << 24) |
           std::uint64_t{back & 0xFFFFFF};
}

std::size_t GlyphCache::capacity() const {
    const std::size_t cellBytes = static_cast<std::size_t>(std::max(cell_.width, 1)) *
                                  static_cast<std::size_t>(std::max(cell_.height, 1)) * sizeof(QRgb);
    return std::max(GLYPH_CACHE_MIN_ENTRIES, GLYPH_CACHE_BYTES / cellBytes);
}

const QImage& GlyphCache::cell(char16_t glyph, Colour fore, Colour back) {
    const std::uint64_t key = keyOf(glyph, fore, back);
    auto found = images_.find(key);
    if (found != images_.end()) return found->second;
    const Key one{glyph, fore, back};
    prepare(&one, 1);
    return images_.find(key)->second;
}

void GlyphCache::prepare(const Key* keys, int count) {
    missing_.clear();
    missingKeys_.clear();
    for (int i = 0; i < count; ++i) {
        const std::uint64_t key = keyOf(keys[i].glyph, keys[i].fore, keys[i].back);
        if (images_.count(key) != 0 ||
            std::find(missingKeys_.begin(), missingKeys_.end(), key) != missingKeys_.end())
            continue;
        missing_.push_back(keys[i]);
        missingKeys_.push_back(key);
    }
    if (missing_.empty()) return;
    if (images_.size() + missing_.size() > capacity()) images_.clear();

    // The new cells side by side in one strip, each clipped to its own rectangle as if it were drawn alone.
    const int w = std::max(cell_.width, 1);
    const int h = std::max(cell_.height, 1);
    const int n = static_cast<int>(missing_.size());
    QImage strip(w * n, h, QImage::Format_RGB32);
    {
        QPainter painter(&strip);
        painter.setFont(font_);
        for (int i = 0; i < n; ++i) {
            const Key& k = missing_[static_cast<std::size_t>(i)];
            const QRect rect(i * w, 0, w, h);
            painter.setClipRect(rect);
            painter.fillRect(rect, QColor(toRgb(k.back)));
            // Code 0 and a lone half of a surrogate pair have no picture: the cell is only its background.
            if (k.glyph == 0 || isSurrogate(k.glyph)) continue;
            painter.setPen(QColor(toRgb(k.fore)));
            painter.drawText(QPoint(i * w, ascent_), QString(QChar(k.glyph)));
        }
    }
    for (int i = 0; i < n; ++i)
        images_.emplace(missingKeys_[static_cast<std::size_t>(i)], strip.copy(i * w, 0, w, h));
}

// ---------------------------------------------------------------------------------------------------------

void fillRect(QImage& image, const PixelRect& rect, Colour colour) {
    const int left = std::max(rect.left, 0);
    const int top = std::max(rect.top, 0);
    const int right = std::min(rect.right, image.width());
    const int bottom = std::min(rect.bottom, image.height());
    if (left >= right || top >= bottom) return;
    const QRgb pixel = toRgb(colour);
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    for (int y = top; y < bottom; ++y) {
        auto* line = reinterpret_cast<QRgb*>(bits + y * stride);
        std::fill(line + left, line + right, pixel);
    }
}

void blitCell(QImage& image, int x, int y, const QImage& cell) {
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = std::min(x + cell.width(), image.width());
    const int bottom = std::min(y + cell.height(), image.height());
    if (left >= right || top >= bottom) return;
    const std::size_t bytes = static_cast<std::size_t>(right - left) * sizeof(QRgb);
    uchar* const to = image.bits();
    const qsizetype toStride = image.bytesPerLine();
    const uchar* const from = cell.constBits();
    const qsizetype fromStride = cell.bytesPerLine();
    for (int row = top; row < bottom; ++row) {
        std::memcpy(to + row * toStride + static_cast<qsizetype>(left) * 4,
                    from + (row - y) * fromStride + static_cast<qsizetype>(left - x) * 4, bytes);
    }
}

void blitCell(QImage& image, const PixelRect& to, const QImage& cell) {
    if (to.width() >= cell.width() && to.height() >= cell.height()) {
        blitCell(image, to.left, to.top, cell);
        return;
    }
    const int left = std::max(to.left, 0);
    const int top = std::max(to.top, 0);
    const int right = std::min({to.left + cell.width(), to.right, image.width()});
    const int bottom = std::min({to.top + cell.height(), to.bottom, image.height()});
    if (left >= right || top >= bottom) return;
    const std::size_t bytes = static_cast<std::size_t>(right - left) * sizeof(QRgb);
    for (int row = top; row < bottom; ++row) {
        std::memcpy(image.bits() + row * image.bytesPerLine() + static_cast<qsizetype>(left) * 4,
                    cell.constBits() + (row - to.top) * cell.bytesPerLine() +
                        static_cast<qsizetype>(left - to.left) * 4,
                    bytes);
    }
}

// ---------------------------------------------------------------------------------------------------------

PixelRect ConsoleRenderer::toDevice(const PixelRect& rect) const {
    if (scale_ == 1.0) return rect;
    const auto device = [this](int v) { return static_cast<int>(std::lround(v * scale_)); };
    return {device(rect.left), device(rect.top), device(rect.right), device(rect.bottom)};
}

void ConsoleRenderer::configureGlyphs(const ConsoleGeometry& g) {
    // The font at the device's pixel size, the cells as large as the widest of them in device pixels.
    const auto up = [this](int v) { return static_cast<int>(std::ceil(v * scale_ - 1e-9)); };
    glyphs_.configure(static_cast<int>(std::lround(g.fontHeight * scale_)),
                      {up(g.cellWidth), up(g.cellHeight)});
}

void ConsoleRenderer::paintAll(QImage& image, const Console& console, const ConsoleGeometry& g) {
    const PixelRect c{0, 0, g.client.width(), g.client.height()};
    // The margins, the plane's band and the cells cover every pixel (the cells may reach one pixel past the
    // console rectangle, never short of it), so the erase in the background colour that comes first on the
    // handheld is never seen and is left out.
    const PixelRect d = toDevice(c);
    const PixelRect k = toDevice(g.grid);
    fillRect(image, {d.left, d.top, k.left, image.height()}, MARGIN_GREY);
    fillRect(image, {k.right, d.top, image.width(), image.height()}, MARGIN_GREY);
    fillRect(image, {k.left, d.top, k.right, k.top}, MARGIN_GREY);
    fillRect(image, {k.left, k.bottom, k.right, image.height()}, MARGIN_GREY);
    paintPlane(image, console, g);
    for (int row = std::max(g.firstTextRow, 0); row < g.rows; ++row)
        paintCells(image, console, g, row, 0, g.columns);
}

QRect ConsoleRenderer::paintCells(QImage& image, const Console& console, const ConsoleGeometry& g, int row,
                                  int left, int right) {
    if (!g.textRow(row)) return {};
    std::array<CellLook, GRID_CAPACITY> looks{};
    const int columns = console.rowLook(row, looks.data());
    left = std::max(left, 0);
    right = std::min(right, columns);
    if (left >= right) return {};
    // The cells that were never drawn are drawn together first.
    configureGlyphs(g);
    std::array<GlyphCache::Key, GRID_CAPACITY> keys{};
    for (int column = left; column < right; ++column) {
        const CellLook& look = looks[static_cast<std::size_t>(column)];
        keys[static_cast<std::size_t>(column)] = {look.glyph, look.fore, look.back};
    }
    glyphs_.prepare(keys.data() + left, right - left);
    for (int column = left; column < right; ++column) {
        const GlyphCache::Key& k = keys[static_cast<std::size_t>(column)];
        const PixelRect cell = toDevice(g.cellRect(column, row));
        if (scale_ == 1.0)
            blitCell(image, cell.left, cell.top, glyphs_.cell(k.glyph, k.fore, k.back));
        else
            blitCell(image, cell, glyphs_.cell(k.glyph, k.fore, k.back));
    }
    const PixelRect first = g.cellRect(left, row);
    return toQRect(
               toDevice({first.left, first.top, first.left + (right - left) * g.cellWidth, first.bottom})) &
           image.rect();
}

QRect ConsoleRenderer::paintPlane(QImage& image, const Console& console, const ConsoleGeometry& g) {
    if (!g.planeShown) return {};
    const GraphicsPlane& plane = console.plane();
    const PixelRect& band = g.band;
    const PixelRect& p = g.fit.picture;
    // The frame: the band around the picture (all of it when the plane does not fit).
    fillRect(image, toDevice({band.left, band.top, band.right, p.top}), PLANE_FRAME);
    fillRect(image, toDevice({band.left, p.bottom, band.right, band.bottom}), PLANE_FRAME);
    fillRect(image, toDevice({band.left, p.top, p.left, p.bottom}), PLANE_FRAME);
    fillRect(image, toDevice({p.right, p.top, band.right, p.bottom}), PLANE_FRAME);
    if (g.fit.scaleX > 0 && g.fit.scaleY > 0) {
        for (int y = 0; y < plane.height; ++y) {
            const int top = p.top + y * g.fit.scaleY;
            if (toDevice({0, top, 0, top}).top >= image.height()) break;
            if (top + g.fit.scaleY <= 0) continue;
            for (int x = 0; x < plane.width; ++x)
                fillRect(image, toDevice(g.planePixelRect(x, y)), plane.at(x, y));
        }
    }
    return toQRect(toDevice(band)) & image.rect();
}

QRect ConsoleRenderer::paintPlanePixels(QImage& image, const Console& console, const ConsoleGeometry& g,
                                        const PixelRect& pixels) {
    const GraphicsPlane& plane = console.plane();
    if (!g.planeShown || g.fit.scaleX <= 0 || g.fit.scaleY <= 0) return {};
    const int left = std::max(pixels.left, 0);
    const int top = std::max(pixels.top, 0);
    const int right = std::min(pixels.right, plane.width);
    const int bottom = std::min(pixels.bottom, plane.height);
    if (left >= right || top >= bottom) return {};
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) fillRect(image, toDevice(g.planePixelRect(x, y)), plane.at(x, y));
    const PixelRect from = g.planePixelRect(left, top);
    const PixelRect to = g.planePixelRect(right - 1, bottom - 1);
    return toQRect(toDevice({from.left, from.top, to.right, to.bottom})) & image.rect();
}

} // namespace tavik
