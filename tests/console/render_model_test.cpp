// What a drawing host pulls from the console: the damage since it last drew (taken and reset), each cell's
// look with the glyph map and the caret applied, and where the grid and the plane's picture stand.
#include "caret.h"
#include "line_editor.h"

#include "console/console_fixture.h"

namespace tavik::test {
namespace {

using RenderModel = ConsoleTest;

// The damaged columns of a row as "left-right", "" when none.
std::string span(const ScreenDamage& damage, int row, int columns = 20) {
    const ScreenDamage::Span s = damage.row(row, columns);
    return s.empty() ? "" : std::to_string(s.left) + "-" + std::to_string(s.right);
}

TEST_F(RenderModel, DamageIsWhatChangedSinceItWasLastTaken) {
    console.takeDamage();
    EXPECT_FALSE(console.takeDamage().any());

    // Printed cells, a run per row; a wrap continues on the next row.
    console.locate(3, 2);
    console.putString(u"ab");
    console.locate(18, 5);
    console.putString(u"xyz");
    ScreenDamage d = console.takeDamage();
    EXPECT_FALSE(d.all);
    EXPECT_EQ(span(d, 2), "3-5");
    EXPECT_EQ(span(d, 5), "18-20");
    EXPECT_EQ(span(d, 6), "0-1");
    EXPECT_EQ(span(d, 3), "");
    EXPECT_FALSE(d.planeChanged());
    // Taking it reset it; moving the cursor changes no cell.
    console.locate(0, 0);
    EXPECT_FALSE(console.takeDamage().any());

    // A scroll: every row of the region, none outside it.
    console.setScrollRegion(4, 10);
    console.scrollUp();
    d = console.takeDamage();
    EXPECT_EQ(span(d, 3), "");
    for (int row = 4; row < 14; ++row) EXPECT_EQ(span(d, row), "0-20") << row;
    EXPECT_EQ(span(d, 14), "");

    // A clear, a size change, the plane opened or closed or cleared: everything.
    console.clearScreen();
    EXPECT_TRUE(console.takeDamage().all);
    ASSERT_TRUE(console.openPlane(4, 16, 8));
    EXPECT_TRUE(console.takeDamage().all);
    console.clearPlane();
    EXPECT_TRUE(console.takeDamage().all);
    console.setConsoleSize(30, 12, 16);
    EXPECT_TRUE(console.takeDamage().all);
    console.damageAll();
    d = console.takeDamage();
    EXPECT_TRUE(d.all);
    EXPECT_EQ(span(d, 7, 30), "0-30");
    console.resetLayout();
    EXPECT_TRUE(console.takeDamage().all);
}

TEST_F(RenderModel, PlanePixelsAreDamagedByTheirBounds) {
    ASSERT_TRUE(console.openPlane(4, 16, 8));
    console.takeDamage();
    console.plotPoint(5, 6);
    console.plotPoint(2, 1);
    console.plotPoint(99, 1); // off the bitmap: nothing changed
    const ScreenDamage d = console.takeDamage();
    EXPECT_TRUE(d.planeChanged());
    EXPECT_FALSE(d.anyRow);
    EXPECT_EQ(d.planePixels, (PixelRect{2, 1, 6, 7}));
    EXPECT_FALSE(console.takeDamage().planeChanged());
}

TEST_F(RenderModel, TheLineEditorDamagesTheRowsOfTheLineItReflows) {
    console.setConsoleSize(5, 4, 16);
    console.putString(u"ABCDEFG");
    console.setCursor(1, 0);
    console.takeDamage();
    LineEditor editor(console);
    editor.editKey(u'x');
    ScreenDamage d = console.takeDamage();
    EXPECT_EQ(span(d, 0, 5), "0-5");
    EXPECT_EQ(span(d, 1, 5), "0-5");
    EXPECT_EQ(span(d, 2, 5), "");
    editor.editKey(8);
    d = console.takeDamage();
    EXPECT_EQ(span(d, 0, 5), "0-5");
    EXPECT_EQ(span(d, 1, 5), "0-5");
}

TEST_F(RenderModel, ACellLooksAsItsGlyphInItsColoursTheShownCaretSwapped) {
    console.setForeground(rgb(1, 2, 3));
    console.setBackground(rgb(200, 210, 220));
    console.locate(0, 1);
    console.putString(u"A\\\u3042");
    EXPECT_EQ(console.cellLook(0, 1), (CellLook{u'A', 0xFF21, rgb(1, 2, 3), rgb(200, 210, 220)}));
    EXPECT_EQ(console.cellLook(1, 1).glyph, 0xFFE5);
    EXPECT_EQ(console.cellLook(2, 1).glyph, 0x3042);
    EXPECT_EQ(console.cellLook(3, 1).glyph, 0x3000); // a blank is the ideographic space
    EXPECT_EQ(console.cellLook(20, 1), CellLook{});
    EXPECT_EQ(console.cellLook(0, -1), CellLook{});

    // The caret: its cell in swapped colours while it is on, unless the host draws a cursor of its own.
    console.setCursor(1, 1);
    placeCaret(console);
    console.takeDamage();
    caretTick(console);
    EXPECT_EQ(span(console.takeDamage(), 1), "1-2");
    EXPECT_EQ(console.cellLook(1, 1).fore, rgb(200, 210, 220));
    EXPECT_EQ(console.cellLook(1, 1).back, rgb(1, 2, 3));
    EXPECT_EQ(console.cellLook(1, 1, CaretLook::Plain).fore, rgb(1, 2, 3));
    EXPECT_EQ(console.cellLook(0, 1).fore, rgb(1, 2, 3));

    // A row at once gives the same looks.
    CellLook looks[GRID_CAPACITY];
    ASSERT_EQ(console.rowLook(1, looks), 20);
    for (int c = 0; c < 20; ++c) EXPECT_EQ(looks[c], console.cellLook(c, 1)) << c;
    ASSERT_EQ(console.rowLook(1, looks, CaretLook::Plain), 20);
    EXPECT_EQ(looks[1], console.cellLook(1, 1, CaretLook::Plain));
    EXPECT_EQ(console.rowLook(20, looks), 0);

    // A scroll carries the caret with its text: both its old and its new cell are drawn again.
    console.setScrollRegion(2, 10);
    console.setCursor(1, 1);
    console.takeDamage();
    console.scrollUp();
    EXPECT_EQ(console.caretRow(), 0);
    const ScreenDamage d = console.takeDamage();
    EXPECT_EQ(span(d, 1), "1-2");
    EXPECT_EQ(span(d, 0), "1-2");
    hideCaret(console);
    EXPECT_EQ(span(console.takeDamage(), 0), "1-2");
    EXPECT_EQ(console.cellLook(1, 0), console.cellLook(1, 0, CaretLook::Plain));
}

TEST_F(RenderModel, GeometryPlacesTheGridAndThePlanesPicture) {
    // 15 columns of 16-pixel cells centred in the 480 x 640 client area.
    console.setConsoleSize(15, 20, 16);
    console.locate(2, 7);
    ConsoleGeometry g = console.geometry();
    EXPECT_EQ(g.client, (PixelRect{0, 0, 480, 640}));
    EXPECT_EQ(g.grid, (PixelRect{120, 160, 360, 480}));
    EXPECT_EQ(g.cellRect(2, 7), (PixelRect{152, 272, 168, 288}));
    EXPECT_EQ(g.cursorColumn * 100 + g.cursorRow, 207);
    EXPECT_FALSE(g.planeShown);
    EXPECT_EQ(g.band.height(), 0);
    EXPECT_EQ(g.fit.scaleX, 0);
    EXPECT_TRUE(g.textRow(0));

    // graph 4,120,32: a band of 240 x 64 filled exactly at twice the size.
    ASSERT_TRUE(console.openPlane(4, 120, 32));
    g = console.geometry();
    EXPECT_TRUE(g.planeShown);
    EXPECT_EQ(g.firstTextRow, 4);
    EXPECT_FALSE(g.textRow(3));
    EXPECT_TRUE(g.textRow(4));
    EXPECT_EQ(g.band, (PixelRect{120, 160, 360, 224}));
    EXPECT_EQ(g.fit.scaleX * 10 + g.fit.scaleY, 22);
    EXPECT_EQ(g.fit.picture, g.band);
    EXPECT_EQ(g.planePixelRect(3, 1), (PixelRect{126, 162, 128, 164}));
    EXPECT_EQ(g.planeWidth * 1000 + g.planeHeight, 120032);

    // graph 4,100,100 does not fit: no picture, the whole band frame.
    ASSERT_TRUE(console.openPlane(4, 100, 100));
    g = console.geometry();
    EXPECT_EQ(g.fit.scaleY, 0);
    EXPECT_EQ(g.fit.picture.height(), 0);
}

} // namespace
} // namespace tavik::test
