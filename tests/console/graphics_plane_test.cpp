#include "console_fixture.h"

namespace tavik::test {
namespace {

using Plane = ConsoleTest;

TEST_F(Plane, OpenCoversTopRowsAndClearsToBackground) {
    console.setBackground(rgb(10, 20, 30));
    console.locate(5, 1);
    ASSERT_TRUE(console.openPlane(4, 120, 32));
    EXPECT_TRUE(console.plane().exists);
    EXPECT_EQ(console.screen().firstTextRow, 4);
    EXPECT_EQ(console.screen().scrollTop, 4);
    EXPECT_EQ(console.screen().scrollHeight, 16);
    expectCursor(0, 4);
    EXPECT_EQ(console.pointColour(119, 31), rgb(10, 20, 30));
    EXPECT_GE(view.count("damaged"), 1);
    EXPECT_EQ(damage().substr(0, 3), "all");
}

TEST_F(Plane, PlotAndReadPixels) {
    // Without a plane the points read the background and pset does nothing.
    console.setBackground(0x00AABBCC);
    console.plotPoint(0, 0);
    EXPECT_EQ(console.pointColour(5000, -1), 0x00AABBCCu);
    EXPECT_EQ(view.count("damaged"), 0);

    ASSERT_TRUE(console.openPlane(4, 120, 32));
    console.setForeground(rgb(1, 2, 3));
    console.takeDamage();
    view.forget();
    console.plotPoint(5, 6);
    EXPECT_EQ(console.pointColour(5, 6), 0x030201u);
    EXPECT_EQ(view.count("damaged"), 1);

    // Off the bitmap: nothing changes, nothing is drawn, and the read is the invalid colour.
    for (auto [x, y] : {std::pair{120, 0}, {-1, 0}, {0, 32}, {0, -1}}) {
        console.plotPoint(x, y);
        EXPECT_EQ(console.pointColour(x, y), INVALID_COLOUR);
    }
    EXPECT_EQ(view.count("damaged"), 1);
    EXPECT_EQ(damage(), "plane:5,6-6,7");

    console.setBackground(rgb(0, 0, 255));
    console.clearPlane();
    EXPECT_EQ(console.pointColour(5, 6), rgb(0, 0, 255));
}

TEST_F(Plane, ClearScreenLeavesPictureAndBlanksHiddenRows) {
    console.locate(0, 1);
    console.putString(u"hidden");
    ASSERT_TRUE(console.openPlane(4, 8, 8));
    console.plotPoint(1, 1);
    const Colour plotted = console.pointColour(1, 1);
    console.setForeground(rgb(9, 9, 9));
    console.clearScreen();
    expectCursor(0, 4);
    EXPECT_EQ(rowText(1), blankRow());
    EXPECT_EQ(console.pointColour(1, 1), plotted);
}

TEST_F(Plane, ResetLayoutGivesRowsBackWithTheirText) {
    ASSERT_TRUE(console.openPlane(4, 8, 8));
    console.setConsoleSize(30, 30, 16); // width leaves the plane alone
    EXPECT_TRUE(console.plane().exists);
    console.locate(0, 1);
    console.putString(u"kept");
    view.forget();
    console.resetLayout();
    EXPECT_FALSE(console.plane().exists);
    EXPECT_TRUE(console.plane().pixels.empty());
    EXPECT_EQ(console.screen().firstTextRow, 0);
    EXPECT_EQ(console.screen().scrollTop, 0);
    EXPECT_EQ(console.screen().scrollHeight, 30);
    EXPECT_EQ(rowText(1).substr(0, 4), u"kept");
    EXPECT_EQ(view.events, (std::vector<std::string>{"damaged"}));
    EXPECT_EQ(damage().substr(0, 3), "all");
}

TEST_F(Plane, GraphZeroOrBadSizeLeavesNoPlane) {
    ASSERT_TRUE(console.openPlane(4, 8, 8));
    EXPECT_TRUE(console.openPlane(0, 8, 8));
    EXPECT_FALSE(console.plane().exists);
    EXPECT_EQ(console.screen().firstTextRow, 0);
    EXPECT_FALSE(console.openPlane(4, 0, 8));
    EXPECT_FALSE(console.openPlane(4, 8, PLANE_MAX_SIDE + 1));
    EXPECT_FALSE(console.openPlane(20, 8, 8));
    EXPECT_FALSE(console.plane().exists);
    EXPECT_EQ(console.screen().firstTextRow, 0);
    EXPECT_EQ(console.screen().scrollHeight, 20);
}

} // namespace
} // namespace tavik::test
