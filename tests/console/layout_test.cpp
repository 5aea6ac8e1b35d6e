#include "layout.h"

#include <gtest/gtest.h>

#include <utility>

using tavik::PixelRect;

TEST(Layout, SquareSideAndDefaultFontHeight) {
    // Portrait: the window is as wide as the screen, so the height it loses counts; landscape the same.
    EXPECT_EQ(tavik::squareSide(240, 320, PixelRect{0, 0, 240, 268}), 188);
    EXPECT_EQ(tavik::squareSide(320, 240, PixelRect{0, 0, 320, 188}), 188);
    EXPECT_EQ(tavik::squareSide(480, 640, PixelRect{0, 0, 470, 600}), 470);
    EXPECT_EQ(tavik::defaultFontHeight(240, 320), 8);
    EXPECT_EQ(tavik::defaultFontHeight(640, 480), 16);
}

TEST(Layout, ConsoleRectIsCentredWithTruncatingHalves) {
    const PixelRect client{0, 0, 240, 268};
    EXPECT_EQ(tavik::consoleRect(client, 11, 11, 20, 20), (PixelRect{10, 24, 230, 244}));
    // 189 pixels of cells in 188: one pixel narrower than its cells.
    EXPECT_EQ(tavik::consoleRect(client, 9, 9, 21, 21), (PixelRect{26, 40, 214, 228}));
}

TEST(Layout, CellAtPixelFindsTheCellUnderAPointer) {
    const PixelRect grid{26, 40, 214, 228}; // 21 x 21 cells of 9 pixels
    int c = -1, r = -1;
    EXPECT_TRUE(tavik::cellAtPixel(grid, 9, 9, 21, 21, 26, 40, c, r));
    EXPECT_EQ(c, 0);
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(tavik::cellAtPixel(grid, 9, 9, 21, 21, 26 + 9 * 20 + 8, 40 + 9 * 3 + 8, c, r));
    EXPECT_EQ(c, 20);
    EXPECT_EQ(r, 3);
    // Beside the grid on each side, and a font not measured yet.
    for (auto [x, y] : {std::pair{25, 50}, {50, 39}, {26 + 9 * 21, 50}, {50, 40 + 9 * 21}})
        EXPECT_FALSE(tavik::cellAtPixel(grid, 9, 9, 21, 21, x, y, c, r)) << x << "," << y;
    EXPECT_FALSE(tavik::cellAtPixel(grid, 0, 0, 21, 21, 30, 50, c, r));
}

TEST(Layout, FitPlaneUsesWholeIndependentFactors) {
    const PixelRect band{0, 0, 240, 64};
    const auto exact = tavik::fitPlane(band, 120, 32);
    EXPECT_EQ(exact.scaleX, 2);
    EXPECT_EQ(exact.scaleY, 2);
    EXPECT_EQ(exact.picture, band);
    // Taller than its band: no picture shows.
    const auto tall = tavik::fitPlane(band, 100, 100);
    EXPECT_EQ(tall.scaleX, 2);
    EXPECT_EQ(tall.scaleY, 0);
    EXPECT_EQ(tall.picture.height(), 0);
    // Centred in a band away from the origin.
    EXPECT_EQ(tavik::fitPlane(PixelRect{5, 10, 245, 74}, 100, 30).picture, (PixelRect{25, 12, 225, 72}));
    EXPECT_EQ(tavik::fitPlane(band, 0, 0).scaleX, 0);
}

TEST(Layout, GlyphMapGivesFullWidthForms) {
    const std::pair<char16_t, char16_t> map[] = {
        {0x41, 0xFF21}, {0x5C, 0xFFE5}, {0x7D, 0xFF5D}, {0x21, 0xFF01}, {0x20, 0x3000},   {0x22, 0x201D},
        {0x27, 0x2019}, {0x7E, 0xFF5E}, {0x09, 0x09},   {0x7F, 0x7F},   {0x3042, 0x3042},
    };
    for (auto [code, glyph] : map) EXPECT_EQ(tavik::glyphFor(code), glyph) << int(code);
}
