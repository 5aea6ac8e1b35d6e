// Statement execution: dispatch, the shared seven-frame stack, loops, IF, CONT, tracing and breaks.
#include "interpreter_fixture.h"

namespace tavik::test {
namespace {

TEST_F(InterpreterTest, StatementsNeedNoSeparatorAndOnlyStatementsStart) {
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"A=1 B=2 ?A B", u"12\n"},
        {u"A=1::::B=2:print A;B", u"12\n"},
        {u"debug 7", u"7\n"},
        {u"?1:'x:?2", u"1\n"},
        {u"?1:rem ?2", u"1\n"},
        {u"then", u"Syntax Error in 0\n"},
        {u"abs 1", u"Syntax Error in 0\n"},
        {u"1", u"Syntax Error in 0\n"},
        {u"\"x\"", u"Syntax Error in 0\n"},
        {u"+", u"Syntax Error in 0\n"},
        {u"A 1", u"Syntax Error in 0\n"},
        {u"@(1) 2", u"Syntax Error in 0\n"},
        {u"to", u"Syntax Error in 0\n"},
        {u"for 1=1 to 2", u"Syntax Error in 0\n"},
        {u"for I 1 to 2", u"Syntax Error in 0\n"},
        {u"for I=1 2", u"Syntax Error in 0\n"},
        {u"if 1 ?1", u"Syntax Error in 0\n"},
        {u"goto -1", u"Line Number 65535 not Found in 0\n"},
        {u"gosub 5", u"Line Number 5 not Found in 0\n"},
        {u"return", u"Stack Underflow in 0\n"},
        {u"next", u"Next without For in 0\n"},
        {u"cont", u"Can't Continue in 0\n"},
        {u"if 0 then print 1:print 2", u""},
        {u"if -1 then ?3", u"3\n"},
        {u"if 1 then 0x64", u"Syntax Error in 0\n"},
        {u"if 1 then 150", u"Line Number 150 not Found in 0\n"},
    };
    for (const auto& [line, output] : cases) {
        peer.clearRunState();
        EXPECT_EQ(exec(line), output) << std::string(line, line + std::u16string(line).size());
    }
    // RETURN empties a stack that holds only loops.
    peer.clearRunState();
    EXPECT_EQ(exec(u"for I=1 to 2:return"), u"Stack Underflow in 0\n");
    EXPECT_EQ(peer.stackDepth, 0);
}

TEST_F(InterpreterTest, EndNewAndExitPostTheirRequests) {
    EXPECT_EQ(session({u"10 ?1:exit:?2"}, {u"run", u"?3"}), u"OK\n1\n");
    EXPECT_EQ(host.answers.size(), 1u);
    EXPECT_EQ(session({u"?1:end:?2", u"?4:new:?5", u"?6"}), u"OK\n1\nOK\n4\nOK\n6\n");
}

TEST_F(InterpreterTest, SevenFramesAreShared) {
    // Seven nested subroutines; the eighth call overflows.
    EXPECT_EQ(session({u"10 A=A+1:?A;:gosub 10"}, {u"run"}), u"OK\n12345678Stack Overflow in 10\nOK\n");
    // Six subroutines and a loop leave room for nothing more, and the refused FOR assigns nothing.
    EXPECT_EQ(session({u"10 A=A+1:if A<7 then gosub 10", u"20 for I=1 to 2", u"30 gosub 40", u"40 end"},
                      {u"run", u"for K=5 to 6", u"?K"}),
              u"OK\nStack Overflow in 30\nOK\nStack Overflow in 0\nOK\n0\n");
    // A GOTO out of a loop leaves its frame behind.
    EXPECT_EQ(session({u"10 A=A+1:for I=A to 9:goto 10"}, {u"run", u"?A;I", u"gosub 999"}),
              u"OK\nStack Overflow in 10\nOK\n87\nLine Number 999 not Found in 0\nOK\n")
        << "a missing line is reported before the depth";
}

// RETURN does not start a line: an error after it names the subroutine's line.
TEST_F(InterpreterTest, GosubAndReturn) {
    EXPECT_EQ(
        session({u"10 gosub 100:?\" back\":next", u"100 for I=1 to 3:return", u"200 for I=1 to 2:gosub 210",
                 u"210 next", u"300 gosub 310:A=1/0", u"310 return", u"400 ?\"sub\":return"},
                {u"run", u"run 200", u"run 300", u"gosub 400:print 1", u"print 2"}),
        u"OK\n back\nNext without For in 100\nOK\nNext without For in 210\nOK\nDivide by 0 in 310\nOK\n"
        u"sub\n1\n2\n");
}

TEST_F(InterpreterTest, LocalsBelongToTheFrameNotTheCall) {
    EXPECT_EQ(session({u"10 gosub 100", u"20 gosub 200:end", u"100 a=5:return", u"200 ?a:return"},
                      {u"run", u"run 20", u"a=9:gosub 200:?a"}),
              u"OK\n5\nOK\n0\nOK\n0\n9\n");
}

TEST_F(InterpreterTest, ForNextSemantics) {
    host.onSleep = [this] {
        if (host.sleeps.size() == 3) interp.breakRequested = 1;
    };
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"for I=1 to 3:print I:next", u"1\n2\n3\n"},
        {u"for I=1 to 10 step 3:?I;:next:?\" \";I", u"14710 10\n"},
        {u"for I=1 to 9 step 3:?I;:next:?\" \";I", u"147 10\n"},
        {u"for I=10 to 1:?I;:next:?\" \";I", u"10 11\n"},
        {u"for I=3 to 1 step -1:?I;:next:?\" \";I", u"321 1\n"},
        {u"for I=5 to 5 step 0:?I;:next:?\" \";I", u"5 5\n"},
        {u"for I=3 to 5 step 0:?I;:next:?\" \";I", u"3 3\n"},
        {u"for I=5 to 3 step 0:?I;:waitms 0:next", u"555Break in 0\n"},
        {u"for I=32766 to 32767:?I;\" \";:next:?I", u"32766 32767 32767\n"},
        {u"I=10:for I=1 to I+5:next:?I", u"15\n"},
        {u"for @(2)=1 to 3:?@(2);:next", u"123"},
        {u"for a=1 to 2:?a;:next", u"12"},
        {u"for I=1 to 2:?I;:next I", u"12Syntax Error in 0\n"},
        {u"for I=1 to 2:for J=1 to 2:?I;J;\" \";:next:next", u"11 12 21 22 "},
    };
    for (const auto& [line, output] : cases) {
        peer.clearRunState();
        EXPECT_EQ(exec(line), output) << std::string(line, line + std::u16string(line).size());
    }
}

TEST_F(InterpreterTest, IfThenJumpsOnALiteralLineOnly) {
    // A GOTO typed in direct mode keeps the variables.
    EXPECT_EQ(session({u"100 ?\"L100\"", u"110 ?\"L\";A"},
                      {u"if 1 then 100", u"A=10:if 1 then 100+A", u"if 1 then goto 110", u"A=5:goto 110"}),
              u"OK\nL100\nL0\nOK\nL10\nOK\nL10\nOK\nL5\nOK\n");
}

TEST_F(InterpreterTest, ContResumesWhereTheRunStopped) {
    EXPECT_EQ(session({u"10 A=A+1:B=10/C:?A;B"}, {u"run", u"C=2", u"cont"}),
              u"OK\nDivide by 0 in 10\nOK\n15\nOK\n");
    EXPECT_EQ(session({u"10 ?1:break:?2"}, {u"run", u"cont", u"cont"}),
              u"OK\n1\nBreak in 10\nOK\n2\nOK\nOK\n");
    EXPECT_EQ(session({u"10 ?1:end:?2"}, {u"run", u"cont"}), u"OK\n1\nOK\nOK\n");
    EXPECT_EQ(session({u"10 ?1:end"}, {u"run", u"new", u"cont"}),
              u"OK\n1\nOK\nOK\nCan't Continue in 0\nOK\n");
    EXPECT_EQ(session({u"10 ?1:end"}, {u"run", u"20 rem", u"cont"}), u"OK\n1\nOK\nCan't Continue in 0\nOK\n");
}

TEST_F(InterpreterTest, BreakRequestStopsBeforeTheNextStatement) {
    host.onSleep = [this] { interp.breakRequested = 1; };
    EXPECT_EQ(session({u"10 A=A+1:waitms 5:?A"}, {u"run", u"cont"}), u"OK\nBreak in 10\nOK\n1\nOK\n");
    EXPECT_EQ(host.sleeps, (std::vector<int>{5}));
    // A break raised while nothing ran does not stop the next line.
    interp.breakRequested = 1;
    EXPECT_EQ(exec(u"?1"), u"1\n");
}

TEST_F(InterpreterTest, TraceWritesEachLineStartIncludingTheEnd) {
    EXPECT_EQ(session({u"10 A=1", u"20 ?\"x\"", u"30 goto 50", u"40 A=2", u"50 A=3"},
                      {u"tron", u"run", u"run 40", u"troff:run", u"tron", u"new", u"run"}),
              u"OK\n[10][20]x\n[30][50][0]OK\n[40][50][0]OK\nx\nOK\nOK\nOK\n");
}

TEST_F(InterpreterTest, ResumePositionsInReplacedTypedLinesAreRefused) {
    EXPECT_EQ(session({u"for I=1 to 3", u"next"}), u"OK\nCan't Continue in 0\nOK\n");
    EXPECT_EQ(session({u"10 ?\"sub\":break", u"20 return"}, {u"gosub 10:?\"back\"", u"cont"}),
              u"OK\nsub\nBreak in 10\nOK\nCan't Continue in 20\nOK\n");
    // An answer typed for INPUT does not replace the typed line the subroutine returns to.
    EXPECT_EQ(session({u"30 A=input:return"}, {u"gosub 30:?A*2", u"21"}), u"OK\n? 42\n");
    // Looping back into the typed line that is still current runs it as typed, to its own end.
    EXPECT_EQ(session({u"100 next"}, {u"for I=1 to 3:?I;:if I<3 then 100", u"?\"x\""}), u"OK\n123x\n");
}

} // namespace
} // namespace tavik::test
