// What the window shows, read back as pixels: the grey margins, the cells in their colours, the caret cell
// inverted, the graphics plane enlarged in its frame, and the faults the painter must not have.
#include "window_fixture.h"

#include "console_renderer.h"
#include "layout.h"

#include <QColor>

#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

namespace tavik::testing {
namespace {

QRgb pixelAt(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

constexpr QRgb GREY = 0x808080;
constexpr QRgb WHITE = 0xFFFFFF;
constexpr QRgb BLACK = 0x000000;

// Counts the pixels of a rectangle for which pred holds.
int countPixels(const QImage& image, const QRect& rect, const std::function<bool(QColor)>& pred) {
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (pred(QColor(image.pixel(x, y)))) ++n;
    return n;
}

bool allPixels(const QImage& image, const QRect& rect, QRgb colour) {
    return countPixels(image, rect, [&](QColor c) { return (c.rgb() & 0xFFFFFF) != colour; }) == 0;
}

using WindowPaintTest = WindowTest;

TEST_F(WindowPaintTest, StartsWithBannerAndOkBlackOnWhiteCentredOnGreyMargins) {
    EXPECT_EQ(rowText(window->console(), 0), u"タビクWM Ver 0.03");
    EXPECT_EQ(rowText(window->console(), 1), u"OK");
    const QImage image = grabConsole();
    const PixelRect k = consoleRect();
    ASSERT_GT(k.left, 0);
    ASSERT_GT(image.height() - k.bottom, 0);
    // Every margin is the stock grey, the grid is centred in the client area.
    EXPECT_TRUE(allPixels(image, QRect(0, 0, k.left, image.height()), GREY));
    EXPECT_TRUE(allPixels(image, QRect(k.right, 0, image.width() - k.right, image.height()), GREY));
    EXPECT_TRUE(allPixels(image, QRect(k.left, 0, k.width(), k.top), GREY));
    EXPECT_TRUE(allPixels(image, QRect(k.left, k.bottom, k.width(), image.height() - k.bottom), GREY));
    EXPECT_LE(std::abs((k.left) - (image.width() - k.right)), 1);
    // Blank cells are white; a cell holding a letter has dark pixels on white.
    const QRect blank = window->view().cellRect(screen().columns - 1, screen().rows - 1);
    EXPECT_TRUE(allPixels(image, blank, WHITE));
    const QRect letterO = window->view().cellRect(0, 1);
    EXPECT_EQ(pixelAt(image, letterO.left(), letterO.top()), WHITE);
    EXPECT_GT(countPixels(image, letterO, [](QColor c) { return c.lightness() < 60; }), 5);
}

TEST_F(WindowPaintTest, CellsAreFullWidthFontCellsOfTheDefaultHeight) {
    // 480 x 640: the font height is 640/30 -> 16 at reset, the square is the width less the soft keys' height
    // lost down the screen... the cell is the font's full-width advance by its height.
    const QFont font = consoleFont(16);
    const CellSize cell = measureConsoleFont(font);
    EXPECT_EQ(screen().fontHeight, 16);
    EXPECT_EQ(screen().cellWidth, cell.width);
    EXPECT_EQ(screen().cellHeight, cell.height);
    const int side = window->console().squareSide();
    EXPECT_EQ(screen().columns, side / cell.width);
    EXPECT_EQ(screen().rows, side / cell.height);
    EXPECT_EQ(window->screenWidth(), 480);
    EXPECT_EQ(window->screenHeight(), 640);
}

TEST_F(WindowPaintTest, CaretCellShowsInvertedWhileOnAndPlainWhenOff) {
    const int column = window->console().cursorColumn();
    const int row = window->console().cursorRow();
    const QRect caret = window->view().cellRect(column, row);
    EXPECT_TRUE(allPixels(grabConsole(), caret, WHITE));
    // The first tick shows the caret: the blank cell becomes its foreground colour.
    window->handoff().handleTimer();
    EXPECT_TRUE(allPixels(grabConsole(), caret, BLACK));
    window->handoff().handleTimer();
    EXPECT_TRUE(allPixels(grabConsole(), caret, WHITE));
    EXPECT_TRUE(window->caretTimerRunning());
}

TEST_F(WindowPaintTest, CaretOverALetterSwapsItsColours) {
    QTest::keyClicks(&window->consoleWidget(), QStringLiteral("W"));
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Left);
    window->handoff().handleTimer();
    const QImage image = grabConsole();
    const QRect cell = window->view().cellRect(0, window->console().cursorRow());
    // Mostly black with light strokes: the letter in white on black.
    EXPECT_GT(countPixels(image, cell, [](QColor c) { return c.lightness() < 60; }),
              cell.width() * cell.height() / 2);
    EXPECT_GT(countPixels(image, cell, [](QColor c) { return c.lightness() > 200; }), 5);
}

TEST_F(WindowPaintTest, TextAfterFcolorAndBcolorTakesTheNewColours) {
    typeLine("fcolor 255,0,0:bcolor 0,0,255:print \"M\";:fcolor 0,0,0:bcolor 255,255,255:print");
    const int row = rowShowing(u"M");
    ASSERT_GE(row, 0);
    const QImage image = grabConsole();
    const QRect cell = window->view().cellRect(0, row);
    EXPECT_EQ(pixelAt(image, cell.left(), cell.top()), 0x0000FFu);
    EXPECT_GT(
        countPixels(image, cell, [](QColor c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; }),
        5);
    // The cell after it was never written in colour.
    EXPECT_TRUE(allPixels(image, window->view().cellRect(1, row), WHITE));
}

TEST_F(WindowPaintTest, PlaneIsEnlargedByWholeFactorsInsideItsGreyFrame) {
    typeLine("graph 4,10,8:pset 0,0:pset 9,7");
    ASSERT_TRUE(window->console().plane().exists);
    const PixelRect k = consoleRect();
    const PixelRect band{k.left, k.top, k.right, k.top + 4 * screen().cellHeight};
    const PlaneFit fit = fitPlane(band, 10, 8);
    ASSERT_GT(fit.scaleX, 1);
    ASSERT_GT(fit.scaleY, 1);
    const QImage image = grabConsole();
    const PixelRect& p = fit.picture;
    // The frame fills the band around the picture.
    if (p.top > band.top) {
        EXPECT_TRUE(allPixels(image, QRect(band.left, band.top, band.width(), p.top - band.top), GREY));
    }
    if (p.left > band.left) {
        EXPECT_EQ(pixelAt(image, band.left, p.top), GREY);
    }
    // Pixel (0, 0) is black and sx x sy big; the pixel beside it still white; (9, 7) is black in the corner.
    EXPECT_TRUE(allPixels(image, QRect(p.left, p.top, fit.scaleX, fit.scaleY), BLACK));
    EXPECT_TRUE(allPixels(image, QRect(p.left + fit.scaleX, p.top, fit.scaleX, fit.scaleY), WHITE));
    EXPECT_TRUE(
        allPixels(image, QRect(p.right - fit.scaleX, p.bottom - fit.scaleY, fit.scaleX, fit.scaleY), BLACK));
    // The text rows start under the band.
    EXPECT_EQ(screen().firstTextRow, 4);
    // A plane too large for its band shows no picture: the band is all frame.
    typeLine("graph 2,1000,1000");
    EXPECT_TRUE(allPixels(grabConsole(), QRect(k.left, k.top, k.width(), 2 * screen().cellHeight), GREY));
}

TEST_F(WindowPaintTest, PlaneSmallerThanItsBandIsFramedOnEverySide) {
    // A plane a little less than half its band each way: enlarged twice, with grey left over all round.
    const PixelRect k = consoleRect();
    const PixelRect band{k.left, k.top, k.right, k.top + 6 * screen().cellHeight};
    const int w = band.width() * 2 / 5;
    const int h = band.height() * 2 / 5;
    typeLine(QStringLiteral(
                 "graph 6,%1,%2:bcolor 0,0,255:gcls:bcolor 255,255,255:fcolor 255,0,0:pset 0,0:pset %3,%4"
                 ":fcolor 0,0,0")
                 .arg(w)
                 .arg(h)
                 .arg(w - 1)
                 .arg(h - 1)
                 .toUtf8()
                 .constData());
    const PlaneFit fit = fitPlane(band, w, h);
    ASSERT_EQ(fit.scaleX, 2);
    ASSERT_EQ(fit.scaleY, 2);
    const PixelRect& p = fit.picture;
    ASSERT_GT(p.left, band.left);
    ASSERT_GT(p.top, band.top);
    const QImage image = grabConsole();
    EXPECT_TRUE(allPixels(image, QRect(band.left, band.top, band.width(), p.top - band.top), GREY));
    EXPECT_TRUE(allPixels(image, QRect(band.left, p.bottom, band.width(), band.bottom - p.bottom), GREY));
    EXPECT_TRUE(allPixels(image, QRect(band.left, p.top, p.left - band.left, p.height()), GREY));
    EXPECT_TRUE(allPixels(image, QRect(p.right, p.top, band.right - p.right, p.height()), GREY));
    // The picture: blue where gcls filled it, each plotted pixel a red 2 x 2 block in its corner.
    EXPECT_TRUE(allPixels(image, QRect(p.left, p.top, 2, 2), 0xFF0000));
    EXPECT_TRUE(allPixels(image, QRect(p.right - 2, p.bottom - 2, 2, 2), 0xFF0000));
    EXPECT_TRUE(allPixels(image, QRect(p.left + 2, p.top, p.width() - 4, p.height()), 0x0000FF));
    // The text starts in the row under the band.
    EXPECT_FALSE(allPixels(image, window->view().cellRect(0, 6), GREY));
}

TEST_F(WindowPaintTest, BcolorThenClsGivesEveryCellTheNewBackground) {
    typeLine("bcolor 0,128,0:cls:print \"M\"");
    const QImage image = grabConsole();
    const PixelRect k = consoleRect();
    const int row = window->console().cursorRow();
    // Every cell but the one holding "M" and the caret's is the new green; the margins stay grey.
    for (int r = 0; r < screen().rows; ++r) {
        if (r == row || !rowText(window->console(), r).empty()) continue;
        EXPECT_TRUE(allPixels(image, window->view().cellRect(0, r), 0x008000)) << "row " << r;
        EXPECT_TRUE(allPixels(image, window->view().cellRect(screen().columns - 1, r), 0x008000))
            << "row " << r;
    }
    EXPECT_TRUE(allPixels(image, QRect(0, 0, k.left, image.height()), GREY));
    // The letter after cls is drawn on the new background.
    const int letterRow = rowShowing(u"M");
    ASSERT_GE(letterRow, 0);
    const QRect letter = window->view().cellRect(0, letterRow);
    EXPECT_EQ(pixelAt(image, letter.left(), letter.top()), 0x008000u);
    EXPECT_GT(countPixels(image, letter, [](QColor c) { return c.lightness() < 40; }), 5);
}

TEST_F(WindowPaintTest, CaretScrolledOffTheTopMarksNoCell) {
    window->handoff().handleTimer(); // the caret shows on the prompt's row
    const int row = window->console().caretRow();
    ASSERT_GE(row, 0);
    {
        std::lock_guard<std::recursive_mutex> guard(window->console().lock());
        ConsolePeer(window->console()).caretRow = -1;
    }
    {
        std::lock_guard<std::recursive_mutex> guard(window->console().lock());
        window->console().damageAll();
    }
    const QImage image = grabConsole();
    // No cell of the grid is drawn inverted: the cells of blank rows are all white.
    for (int r = 0; r < screen().rows; ++r) {
        if (!rowText(window->console(), r).empty()) continue;
        EXPECT_TRUE(allPixels(image, window->view().cellRect(window->console().caretColumn(), r), WHITE))
            << "row " << r;
    }
}

TEST_F(WindowPaintTest, PsetOffTheBitmapDrawsNothingOnTheWindow) {
    typeLine("graph 4,10,8");
    const PixelRect k = consoleRect();
    const QRect band(k.left, k.top, k.width(), 4 * screen().cellHeight);
    const QImage before = grabConsole().copy(band);
    typeLine("pset 10,0:pset -1,0:pset 0,8:pset 0,-1:pset 300,300");
    const QImage after = grabConsole().copy(band);
    EXPECT_EQ(before, after);
}

TEST_F(WindowPaintTest, GclsAfterBcolorFillsThePlaneAndClosingGivesTheRowsBack) {
    typeLine("print \"HIDDEN\"");
    const int hiddenRow = rowShowing(u"HIDDEN");
    ASSERT_GE(hiddenRow, 0);
    typeLine("graph 6,4,4:bcolor 0,255,0:gcls:bcolor 255,255,255");
    const PlaneFit fit = window->console().geometry().fit;
    QImage image = grabConsole();
    EXPECT_EQ(pixelAt(image, fit.picture.left + 1, fit.picture.top + 1), 0x00FF00u);
    // The text under the plane is kept and shows again once the plane is gone.
    typeLine("graph");
    image = grabConsole();
    const QRect cell = window->view().cellRect(0, hiddenRow);
    EXPECT_GT(countPixels(image, cell, [](QColor c) { return c.lightness() < 60; }), 5);
}

TEST_F(WindowPaintTest, PlaneWhoseBitmapCannotBeMadeLeavesTheRowsToTheText) {
    typeLine("print \"STAYS\"");
    const int row = rowShowing(u"STAYS");
    ASSERT_GE(row, 0);
    {
        std::lock_guard<std::recursive_mutex> guard(window->console().lock());
        EXPECT_FALSE(window->console().openPlane(row + 1, PLANE_MAX_SIDE + 1, 4));
    }
    EXPECT_EQ(screen().firstTextRow, 0);
    const QImage image = grabConsole();
    EXPECT_GT(
        countPixels(image, window->view().cellRect(0, row), [](QColor c) { return c.lightness() < 60; }), 5);
    EXPECT_FALSE(allPixels(image, window->view().cellRect(0, 0), GREY));
}

TEST_F(WindowPaintTest, TildeIsDrawnAsItsFullWidthForm) {
    GlyphCache glyphs;
    glyphs.configure(16, {screen().cellWidth, screen().cellHeight});
    const QImage tilde = glyphs.cell(glyphFor(u'~'), 0, 0xFFFFFF);
    const QImage fullWidth = glyphs.cell(0xFF5E, 0, 0xFFFFFF);
    const QImage blank = glyphs.cell(glyphFor(u' '), 0, 0xFFFFFF);
    EXPECT_EQ(tilde, fullWidth);
    EXPECT_NE(tilde, blank);
    EXPECT_EQ(glyphFor(u'A'), u'\xFF21');
    EXPECT_EQ(glyphFor(u'\\'), u'\xFFE5');
}

TEST_F(WindowPaintTest, CellsDrawnTogetherMatchCellsDrawnAlone) {
    // A row's new cells are drawn side by side in one go; each must come out as if drawn on its own,
    // none spilling into its neighbour.
    const CellSize size{screen().cellWidth, screen().cellHeight};
    const std::vector<GlyphCache::Key> keys{{0xFF37, 0x000000, 0xFFFFFF}, {0x6F22, 0x0000FF, 0x00FF00},
                                            {0x3000, 0x000000, 0xFFFFFF}, {0xFF37, 0x000000, 0xFFFFFF},
                                            {0xD800, 0xFFFFFF, 0x123456}, {0x3042, 0xFF0000, 0x000000}};
    GlyphCache together;
    together.configure(16, size);
    together.prepare(keys.data(), static_cast<int>(keys.size()));
    EXPECT_EQ(together.size(), keys.size() - 1); // the repeated key is drawn once
    for (const GlyphCache::Key& k : keys) {
        GlyphCache alone;
        alone.configure(16, size);
        const QImage expected = alone.cell(k.glyph, k.fore, k.back);
        EXPECT_EQ(together.cell(k.glyph, k.fore, k.back), expected) << std::hex << static_cast<int>(k.glyph);
    }
    EXPECT_EQ(together.size(), keys.size() - 1);
}

TEST_F(WindowPaintTest, ScrolledOutputShowsTheLastLinesAfterTheRepaint) {
    typeLine("for i=1 to 200:print i:next");
    const int last = screen().rows - 1;
    // The prompt's cursor stands on the bottom row, 200 just above it.
    EXPECT_EQ(window->console().cursorRow(), last);
    EXPECT_EQ(rowText(window->console(), last - 1), u"200");
    const QImage image = grabConsole();
    const QRect two = window->view().cellRect(0, last - 1);
    EXPECT_GT(countPixels(image, two, [](QColor c) { return c.lightness() < 60; }), 5);
    // The row that scrolled in under it is blank again in the image, not a leftover of the old pixels.
    EXPECT_TRUE(allPixels(image, window->view().cellRect(1, last), WHITE));
}

TEST_F(WindowPaintTest, ResizedWindowKeepsTheGridAndCentresItAnew) {
    const int columns = screen().columns;
    window->resize(700, 640);
    ASSERT_TRUE(waitUntil([&] { return window->consoleWidget().width() == 700; }));
    const QImage image = grabConsole();
    EXPECT_EQ(screen().columns, columns);
    const PixelRect k = consoleRect();
    EXPECT_EQ(k.left, 350 - columns * screen().cellWidth / 2);
    EXPECT_TRUE(allPixels(image, QRect(0, 0, k.left, image.height()), GREY));
    EXPECT_EQ(window->screenWidth(), 700);
}

TEST_F(WindowPaintTest, PainterAndPlottingInterpreterShareThePlaneSafely) {
    // The interpreter plots as fast as it can while the window paints again and again; the lock keeps the
    // two apart (a race here is what the thread sanitizer build would report).
    typeLine("graph 4,64,16");
    const int before = window->inputRequestsOpened();
    QTest::keyClicks(&window->consoleWidget(),
                     QStringLiteral("for k=1 to 3:for y=0 to 15:for x=0 to 63:pset x,y:next:next:next"));
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Return);
    for (int i = 0; i < 30; ++i) {
        const QImage image = grabConsole();
        ASSERT_FALSE(image.isNull());
    }
    ASSERT_TRUE(waitForPrompt(before));
    const PlaneFit fit = window->console().geometry().fit;
    EXPECT_EQ(pixelAt(grabConsole(), fit.picture.right - 1, fit.picture.bottom - 1), BLACK);
}

} // namespace
} // namespace tavik::testing

namespace tavik::testing {
namespace {

// Blurry text on HiDPI screens comes from drawing at one device pixel per logical pixel and letting the
// screen enlarge the picture. The image has the screen's density instead; run with QT_SCALE_FACTOR set, the
// widget's own ratio is the one the view takes.
TEST_F(WindowPaintTest, DrawsAtTheScreensPixelRatio) {
    window->consoleWidget().flush();
    const double screenRatio = window->consoleWidget().devicePixelRatioF();
    if (const char* factor = std::getenv("QT_SCALE_FACTOR")) {
        EXPECT_EQ(screenRatio, std::atof(factor));
    }
    EXPECT_EQ(window->view().devicePixelRatio(), screenRatio);
    EXPECT_EQ(window->view().image().devicePixelRatio(), screenRatio);
    typeLine("cls:print \"W@\"");
    const PixelRect k = consoleRect();
    const QSize client = window->consoleWidget().size();
    auto render = [&](double ratio) {
        std::lock_guard<std::recursive_mutex> guard(window->console().lock());
        window->view().setDevicePixelRatio(ratio);
        window->view().bringUpToDate();
        return window->view().image().copy();
    };
    const QImage one = render(1.0);
    for (const double ratio : {2.0, 1.5, 1.25}) {
        const QImage image = render(ratio);
        ASSERT_EQ(image.size(), QSize(static_cast<int>(std::ceil(client.width() * ratio)),
                                      static_cast<int>(std::ceil(client.height() * ratio))));
        EXPECT_EQ(image.devicePixelRatio(), ratio);
        const auto device = [&](int v) { return static_cast<int>(std::lround(v * ratio)); };
        // The margins keep their share, the cells tile the grid without a seam of margin grey.
        EXPECT_TRUE(allPixels(image, QRect(0, 0, device(k.left), image.height()), GREY));
        const int cw = screen().cellWidth;
        const int ch = screen().cellHeight;
        const QRect blankRows(device(k.left), device(k.top + 2 * ch),
                              device(k.left + screen().columns * cw) - device(k.left),
                              device(k.top + screen().rows * ch) - device(k.top + 2 * ch));
        EXPECT_TRUE(allPixels(image, blankRows, WHITE)) << "ratio " << ratio;
        // The letters are drawn at the finer size: more dark pixels than the 1x letters, enlarged, would
        // give only by blurring, and not the 1x picture doubled.
        const QRect letters(device(k.left), device(k.top), device(2 * cw), device(ch));
        const int dark = countPixels(image, letters, [](QColor c) { return c.lightness() < 60; });
        const int darkAtOne =
            countPixels(one, QRect(k.left, k.top, 2 * cw, ch), [](QColor c) { return c.lightness() < 60; });
        EXPECT_GT(dark, darkAtOne * ratio) << "ratio " << ratio;
        if (ratio == 2.0) {
            EXPECT_NE(image.copy(letters), one.copy(QRect(k.left, k.top, 2 * cw, ch)).scaled(letters.size()));
        }
    }
    render(screenRatio);
}

} // namespace
} // namespace tavik::testing
