// The program area: packed records in line order, the end marker, and the array in what is left.
#include "interpreter_fixture.h"

namespace tavik::test {
namespace {

TEST_F(InterpreterTest, WorkedExampleLeavesTheseAreaBytes) {
    enter(u"10 PRINT \"Hi\";A");
    EXPECT_EQ(area(), (Bytes{0x0A, 0x00, 0x12, 0x00, 0x20, 0x81, 0x20, 0x03, 0x48, 0x00,
                             0x69, 0x00, 0x00, 0x00, 0x3B, 0x41, 0xFF, 0x0D, 0x00, 0x00}));
    EXPECT_EQ(peer.program.usedBytes, 20);
    EXPECT_EQ(peer.arrayElement(0), peer.program.area + 20);
    EXPECT_NE(peer.arrayElement(24565), nullptr);
    EXPECT_EQ(peer.arrayElement(24566), nullptr);
}

TEST_F(InterpreterTest, LinesInsertReplaceAndDeleteInOrder) {
    enter(u"30 C");
    enter(u"10 A");
    enter(u"20 B");
    EXPECT_EQ(list(), u"10 A\n20 B\n30 C\n");
    enter(u"20 B=12345+6789");
    EXPECT_EQ(list(), u"10 A\n20 B=12345+6789\n30 C\n");
    enter(u"20 b");
    EXPECT_EQ(list(), u"10 A\n20 b\n30 C\n");
    const auto before = peer.program.usedBytes;
    enter(u"20  \t ");
    EXPECT_EQ(list(), u"10 A\n30 C\n");
    EXPECT_EQ(peer.program.usedBytes, before - 8);
    enter(u"10");
    enter(u"30");
    EXPECT_EQ(area(), (Bytes{0, 0}));
    EXPECT_EQ(peer.program.usedBytes, 2);
}

TEST_F(InterpreterTest, RefusedLinesChangeNothing) {
    enter(u"10 A");
    const Bytes before = area();
    view.forget();
    enter(u"20");
    enter(u"0 PRINT");
    EXPECT_EQ(view.transcript, u"Line Number 20 not Found in 0\nInvalid Line Number 0\n");
    EXPECT_EQ(area(), before);
}

TEST_F(InterpreterTest, LineStartingWithALiteralIsStoredWhole) {
    enter(u"10 \"x\"");
    EXPECT_EQ(area(),
              (Bytes{0x0A, 0x00, 0x0C, 0x00, 0x20, 0x03, 0x78, 0x00, 0x00, 0x00, 0xFF, 0x0D, 0x00, 0x00}));
    enter(u"20 7");
    EXPECT_EQ(list(), u"10 \"x\"\n20 7\n");
}

// Fills the area with long remark lines, then finds a line whose length lands exactly on the 0xC000 edge.
TEST_F(InterpreterTest, OutOfMemoryAtTheEdgeLeavesTheProgramUnchanged) {
    const std::u16string filler(100, u'x');
    for (int n = 1; peer.program.usedBytes < PROGRAM_AREA_BYTES - 300; ++n)
        enter(u16(std::to_string(n)) + u" '" + filler);
    // A remark of k units makes a record whose length grows by 2 per unit.
    auto lineOf = [&](int k) { return u"30000 '" + std::u16string(static_cast<std::size_t>(k), u'y'); };
    auto lengthOf = [&](int k) {
        load(lineOf(k));
        return static_cast<int>(skipToLineEnd(peer.lineBuffer + 4) - peer.lineBuffer + 1);
    };
    const int room = PROGRAM_AREA_BYTES - peer.program.usedBytes;
    int k = 0;
    while (lengthOf(k) < room) ++k;
    ASSERT_EQ(lengthOf(k), room);

    const Bytes before = area();
    view.forget();
    enter(lineOf(k));
    EXPECT_EQ(view.transcript, u"Out of memory in 0\n");
    EXPECT_EQ(area(), before);

    enter(lineOf(k - 1));
    EXPECT_EQ(peer.program.usedBytes, 0xBFFE);
    ASSERT_NE(peer.arrayElement(0), nullptr);
    EXPECT_EQ(peer.arrayElement(1), nullptr);

    // Replacing with a line one unit longer would reach the edge as well.
    const Bytes full = area();
    view.forget();
    enter(lineOf(k));
    EXPECT_EQ(view.transcript, u"Out of memory in 0\n");
    EXPECT_EQ(area(), full);
}

TEST_F(InterpreterTest, ArrayBoundsFollowTheProgramAndSurviveNew) {
    ASSERT_NE(peer.arrayElement(24574), nullptr);
    EXPECT_EQ(peer.arrayElement(24574), peer.program.area + PROGRAM_AREA_BYTES - 2);
    EXPECT_EQ(session({u"@(24574)=5", u"@(24575)=1", u"@(-1)=1", u"@(9)=77:print @(0);@[9];@(9];@[24574)"}),
              u"OK\nOut of Array Subscription in 0\nOK\nOut of Array Subscription in 0\nOK\n077775\n");
    // A new line of 18 bytes covers @(0)..@(8): the old @(9) is now @(0). NEW exposes the old record.
    enter(u"10 PRINT \"Hi\";A");
    EXPECT_EQ(session({u"print @(0)", u"new", u"print @(0);@(9)"}), u"OK\n77\nOK\n1877\n");
}

TEST_F(InterpreterTest, RunStartsWhereAskedOrReportsTheMissingLine) {
    EXPECT_EQ(session({u"run", u"print 1"}), u"OK\nOK\n1\n");
    EXPECT_EQ(session({u"10 print 10", u"20 print 20"}, {u"run 20", u"A=2:run 15", u"print A"}),
              u"OK\n20\nOK\nLine Number 15 not Found in 0\nOK\n2\n")
        << "a run that cannot start clears nothing";
}

TEST_F(InterpreterTest, RenumberAndDeleteEditInPlaceOrChangeNothing) {
    enter(u"10 GOTO 30");
    enter(u"20 GOSUB 0x1E:IF A THEN 30");
    enter(u"30 RUN 10");
    const auto used = peer.program.usedBytes;
    exec(u"renum 1000,20,100");
    EXPECT_EQ(list(), u"10 goto 1100\n1000 gosub 0x44c:if A then 1100\n1100 run 10\n");
    const Bytes before = area();
    const auto generation = peer.program.generation();
    EXPECT_EQ(exec(u"renum 10,1000"), u"Line Number Collision in 0\n");
    EXPECT_EQ(exec(u"renum 32766,,1"), u"Line Number Overflow in 0\n");
    EXPECT_EQ(area(), before);
    EXPECT_EQ(peer.program.generation(), generation);

    // Records keep their lengths: only the numbers in headers and targets change.
    exec(u"renum 32765,,1");
    EXPECT_EQ(list(), u"32765 goto 32767\n32766 gosub 0x7fff:if A then 32767\n32767 run 32765\n");
    EXPECT_EQ(peer.program.usedBytes, used);
    EXPECT_NE(peer.program.generation(), generation);
    EXPECT_NE(peer.program.findLine(32767), nullptr); // the line cache follows the new numbers
    EXPECT_EQ(peer.program.findLine(30), nullptr);

    // The array starts where the records end, as after any edit.
    exec(u"delete 32766-");
    EXPECT_EQ(list(), u"32765 goto 32767\n");
    EXPECT_EQ(peer.arrayElement(0), peer.program.area + peer.program.usedBytes);
    EXPECT_EQ(exec(u"delete -32765:list"), u"");
    EXPECT_EQ(area(), (Bytes{0, 0}));
}

} // namespace
} // namespace tavik::test
