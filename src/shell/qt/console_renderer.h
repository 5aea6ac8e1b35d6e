#pragma once
// Pixels of the console: the console font, a cache of drawn cells, and the painter that puts the screen
// model (margins, graphics plane, cells, caret) into an image. Qt Gui only, no widget: it runs on whichever
// thread holds the console's lock.
#include "console.h"
#include "layout.h"

#include <QFont>
#include <QImage>
#include <QRect>

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace tavik {

QRgb toRgb(Colour colour);
QRect toQRect(const PixelRect& rect);

// The console font at a pixel height: the first installed face of the Japanese Gothic family list, else the
// system's fixed-pitch face.
QFont consoleFont(int pixelHeight);

// Cell height is the font's height; cell width the advance of a full-width form.
CellSize measureConsoleFont(const QFont& font);

// Drawn cells by glyph and colours, so that a cell costs one copy once it has been seen.
class GlyphCache {
  public:
    // The console font's pixel height and the model's cell size; a change empties the cache.
    void configure(int fontHeight, CellSize cell);
    const QFont& font() const { return font_; }
    CellSize cellSize() const { return cell_; }
    // The cell image (Format_RGB32, one cell in size) of a glyph already passed through the glyph map.
    const QImage& cell(char16_t glyph, Colour fore, Colour back);
    std::size_t size() const { return images_.size(); }

    // One cell as the cache keys it.
    struct Key {
        char16_t glyph;
        Colour fore;
        Colour back;
    };
    // Draws every cell of the list that is not cached yet, all with one painter: a painter and an image
    // for each cell would cost more than the glyphs themselves when a whole screen of new text comes.
    // Afterwards cell() finds each of them without drawing.
    void prepare(const Key* keys, int count);

  private:
    static std::uint64_t keyOf(char16_t glyph, Colour fore, Colour back);
    std::size_t capacity() const;

    int fontHeight_ = 0;
    CellSize cell_;
    QFont font_;
    int ascent_ = 0;
    std::unordered_map<std::uint64_t, QImage> images_;
    std::vector<Key> missing_;
    std::vector<std::uint64_t> missingKeys_;
};

// Clipped to the image; the image is Format_RGB32.
void fillRect(QImage& image, const PixelRect& rect, Colour colour);
void blitCell(QImage& image, int x, int y, const QImage& cell);
// The cell's image, clipped to `to` as well: at a fractional pixel ratio neighbouring cells differ in width
// by a pixel, and a cell never draws over the next one.
void blitCell(QImage& image, const PixelRect& to, const QImage& cell);

// Everything here reads the console's model: the caller holds console.lock(), and `g` is the console's
// geometry at that moment. Its client area is what the image stands for (its top-left is the image's (0, 0)),
// in the layout's logical pixels; the image has the screen's device pixels: `scale` of them to a logical
// pixel, so that glyphs, caret and plane are drawn as finely as the screen shows them. The rectangles
// returned are in the image's pixels.
class ConsoleRenderer {
  public:
    GlyphCache& glyphs() { return glyphs_; }

    // Device pixels per logical pixel (1 on ordinary screens, 2 on most HiDPI ones, 1.25 or 1.5 between).
    void setScale(double scale) { scale_ = scale > 0 ? scale : 1.0; }
    double scale() const { return scale_; }
    // A logical rectangle in device pixels: each edge rounded on its own, so that neighbours share edges.
    PixelRect toDevice(const PixelRect& rect) const;

    // The whole client area: grey margins, the plane in its band, then every text row.
    void paintAll(QImage& image, const Console& console, const ConsoleGeometry& g);
    // Columns [left, right) of a text row as they look (the shown caret inverted). Rows under the plane are
    // not text.
    QRect paintCells(QImage& image, const Console& console, const ConsoleGeometry& g, int row, int left,
                     int right);
    // The band above the text rows: the frame and the enlarged picture.
    QRect paintPlane(QImage& image, const Console& console, const ConsoleGeometry& g);
    // The plane's pixels in `pixels` (the bitmap's own coordinates), enlarged, at their place in the picture.
    QRect paintPlanePixels(QImage& image, const Console& console, const ConsoleGeometry& g,
                           const PixelRect& pixels);

  private:
    void configureGlyphs(const ConsoleGeometry& g);

    GlyphCache glyphs_;
    double scale_ = 1.0;
};

} // namespace tavik
