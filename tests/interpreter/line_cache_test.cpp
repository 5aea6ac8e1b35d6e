// GOTO, GOSUB and THEN remember where they found a line. Every way the stored lines change (a typed line,
// a deleted line, LOAD, MERGE, NEW) must send the next jump to the line as it is now, or report it missing.
#include "interpreter_fixture.h"

#include <string>

namespace tavik::test {
namespace {

TEST_F(InterpreterTest, JumpsFollowLinesTypedWhileTheProgramIsStopped) {
    // Each run jumps to 30 and 100 once, so that their places are remembered before the edits.
    EXPECT_EQ(session({u"10 gosub 100:goto 30", u"20 ?\"no\"", u"30 ?\"thirty\"", u"40 end",
                       u"100 ?\"sub\";:return"},
                      {u"run",
                       // A longer line before both moves them up.
                       u"5 A=1+2+3+4+5+6+7+8+9+10+11+12+13+14+15+16+17+18+19+20", u"run",
                       // Replacing a line with a shorter one moves the lines after it down.
                       u"5 A=1", u"30 ?\"new thirty\"", u"run",
                       // A deleted line is missing, and a jump typed while stopped says so too.
                       u"30", u"run", u"goto 30",
                       // A line typed again under the old number is found again.
                       u"30 ?\"back\"", u"goto 30", u"gosub 100"}),
              u"OK\nsubthirty\nOK\nsubthirty\nOK\nsubnew thirty\nOK\nsubLine Number 30 not Found in 100\nOK\n"
              u"Line Number 30 not Found in 0\nOK\nback\nOK\nsub");
}

TEST_F(InterpreterTest, JumpsFollowLinesThatShareCacheEntries) {
    // A hundred subroutines, reached in turn, then again after every other one is deleted: lines that share
    // an entry of the remembered places must each still reach their own line.
    std::u16string expected = u"OK\n";
    enter(u"10 for I=0 to 99:gosub 1000+I*7:next:end");
    for (int i = 0; i < 100; ++i) {
        enter(u16(std::to_string(1000 + i * 7) + " ?" + std::to_string(i) + ";:return"));
        expected += u16(std::to_string(i));
    }
    expected += u"OK\n\n";
    EXPECT_EQ(session({u"run", u"?"}), expected);
    for (int i = 1; i < 100; i += 2) enter(u16(std::to_string(1000 + i * 7)));
    EXPECT_EQ(session({u"run"}), u"OK\n0Line Number 1007 not Found in 1000\nOK\n");
    EXPECT_EQ(session({u"gosub 1014", u"gosub 1686"}), u"OK\n298")
        << "the lines left are reached from a typed line";
}

TEST_F(InterpreterTest, JumpsFollowNewLoadAndMerge) {
    TempDir dir;
    const auto quoted = [](const std::u16string& name) { return u"\"" + name + u"\""; };
    // A file whose line 30 stands elsewhere than in the program typed, and that brings a line 5.
    writeBytes(dir.path / "m.tk", utf16(u"5 B=B+1\r\n30 ?\"merged\";B\r\n"));
    writeBytes(dir.path / "l.tk", utf16(u"1 ?\"loaded\";\r\n2 ?\" again\":end\r\n30 goto 2\r\n"));
    EXPECT_EQ(session({u"10 goto 30", u"20 end", u"30 ?\"typed\""},
                      {u"run", u"merge " + quoted(dir.name("m.tk")), u"run", u"goto 30",
                       u"load " + quoted(dir.name("l.tk")), u"goto 30", u"new", u"goto 30"}),
              u"OK\ntyped\nOK\nOK\nmerged1\nOK\nmerged1\nOK\nOK\n again\nOK\nOK\n"
              u"Line Number 30 not Found in 0\nOK\n");
}

} // namespace
} // namespace tavik::test
