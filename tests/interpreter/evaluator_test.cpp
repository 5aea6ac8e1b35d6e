// Expressions: precedence, 16-bit wrap-around, relations, every built-in function and the input answer.
#include "interpreter_fixture.h"

namespace tavik::test {
namespace {

struct Case {
    const char16_t* expression;
    std::int16_t value;
};

TEST_F(InterpreterTest, ExpressionValues) {
    peer.globalVars['A' - 'A'] = 5;
    peer.globalVars['B' - 'A'] = 3;
    peer.topLocals['a' - 'a'] = -4;
    host.keys[3] = true;
    const Case cases[] = {
        {u"32767+1", -32768},
        {u"-32767-1-1", 32767},
        {u"200*200", -25536},
        {u"256*256", 0},
        {u"(-32767-1)/-1", -32768},
        {u"-7/2", -3},
        {u"7/-2", -3},
        {u"7/2", 3},
        {u"1<2<3", -1},
        {u"3>2>1", 0},
        {u"1=1 and 2=2", -1},
        {u"5 and 3", 1},
        {u"5 or 3", 7},
        {u"5 xor 3", 6},
        {u"not 0", -1},
        {u"not -1", 0},
        {u"1 or 2 and 4", 0},
        {u"not 1 and 3", 2},
        {u"2+3*4", 14},
        {u"(2+3)*4", 20},
        {u"10-2-3", 5},
        {u"100/10/2", 5},
        {u"1+1=2", -1},
        {u"1<>2", -1},
        {u"2<=2", -1},
        {u"3>=4", 0},
        {u"1< =2", -1},
        {u"2>1", -1},
        {u"5>3=-1", -1},
        {u"-2*3", -6},
        {u"-(-32767-1)", -32768},
        {u"- -5", 5},
        {u"abs -5", 5},
        {u"abs(-32767-1)", -32768},
        {u"abs 5", 5},
        {u"0xFFFF", -1},
        {u"0x8000", -32768},
        {u"A*2", 10},
        {u"-A*B", -15},
        {u"a", -4},
        {u"@(0]+@[0)", 0},
        {u"rnd(1)", 0},
        {u"key 3+1", 0},
        {u"key 3", -1},
        {u"key 4", 0},
        {u"key 256", 0},
        {u"key -1", 0},
        {u"key 0x103", 0},
        {u"orient", 0},
        {u"1<2", -1},
        {u"deffontsize", 16},
        {u"screenpeek(-1,0)", -1},
        {u"screenpeek(30,0)", -1},
        {u"screenpeek(0,30)", -1},
        {u"screenpeek(0,-1)", -1},
        {u"screenpeek(29,29)", 32},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(eval(c.expression), c.value) << "case " << (&c - cases);
        EXPECT_EQ(peer.errorFlag, 0);
    }
    EXPECT_EQ(view.transcript, u"");
}

TEST_F(InterpreterTest, ExpressionErrors) {
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"5/0", u"Divide by 0 in 0\n"},
        {u"rnd 0", u"Divide by 0 in 0\n"},
        {u"(1+2", u"Syntax Error in 0\n"},
        {u"1+", u"Syntax Error in 0\n"},
        {u"then", u"Syntax Error in 0\n"},
        {u"\"x\"", u"Syntax Error in 0\n"},
        {u"chr 1", u"Syntax Error in 0\n"},
        {u"@1", u"Syntax Error in 0\n"},
        {u"@(1", u"Syntax Error in 0\n"},
        {u"@(-1)", u"Out of Array Subscription in 0\n"},
        {u"pointr 1,2", u"Syntax Error in 0\n"},
        {u"pointg(1 2)", u"Syntax Error in 0\n"},
        {u"screenpeek(1,2", u"Syntax Error in 0\n"},
        {u"input(5)", u"Syntax Error in 0\n"},
        {u"input(\"x\"", u"Syntax Error in 0\n"},
        // A failed divisor that yields 0 adds the division's own message.
        {u"1/pointb 1", u"Syntax Error in 0\nDivide by 0 in 0\n"},
        {u"1/(1/0)", u"Divide by 0 in 0\n"},
    };
    for (const auto& [expression, message] : cases) {
        view.forget();
        eval(expression);
        EXPECT_EQ(peer.errorFlag, 1);
        EXPECT_EQ(peer.runRequest, RunRequest::Stop);
        EXPECT_EQ(view.transcript, message);
    }
}

TEST_F(InterpreterTest, TickIsACentisecondCounterThatWraps) {
    const std::pair<std::uint32_t, std::int16_t> cases[] = {
        {1000, 100}, {999, 99}, {327679, 32767}, {327680, -32768}, {0xFFFFFFFF, -26215}};
    for (const auto& [ms, value] : cases) {
        host.ticks = ms;
        EXPECT_EQ(eval(u"tick"), value);
    }
}

TEST_F(InterpreterTest, RndFollowsTheSeededGenerator) {
    EXPECT_EQ(session({u"10 print rnd 100;\" \";rnd 1000;\" \";rnd -9;\" \";rnd 32767"},
                      {u"run", u"run", u"randomize 7:print rnd 100;rnd 100", u"randomize -5:?rnd 100;rnd 100",
                       u"randomize 7:?rnd(100)"}),
              u"OK\n38 719 7 2437\nOK\n38 719 7 2437\nOK\n6122\n2213\n61\n");
}

TEST_F(InterpreterTest, OrientAndDeffontsizeReadTheScreen) {
    host.width = 640;
    host.height = 480;
    EXPECT_EQ(eval(u"orient"), 1);
    FakeView wide(900, 600);
    Console other(wide);
    Interpreter second(other, host);
    second.resetInterpreter();
    InterpreterPeer secondPeer{second};
    tokenizeLine(secondPeer.lineBuffer, u"deffontsize");
    secondPeer.readPtr = secondPeer.lineBuffer;
    EXPECT_EQ(secondPeer.evalExpression(), 20);
}

TEST_F(InterpreterTest, PointFunctionsReadThePlaneOrTheBackground) {
    EXPECT_EQ(session({u"?pointr(0,0);pointg(5,5);pointb(-9,99)",
                       u"bcolor 1,2,3:?pointr(0,0);pointg(0,0);pointb(0,0)",
                       u"graph 5,10,10:fcolor 10,20,30:pset 2,3:?pointr(2,3);pointg(2,3);pointb(2,3)",
                       u"?pointr(3,2);pointg(3,2);pointb(3,2);pointr(10,0);pointg(0,-1);pointb(9,9)"}),
              u"OK\n255255255\n123\n102030\n1232552553\n");
}

TEST_F(InterpreterTest, ScreenpeekReadsCellsAsSignedCodes) {
    EXPECT_EQ(session({u"cls:?\"\uFF21B\";screenpeek(0,0);screenpeek(1,0);screenpeek(0,1)"}),
              u"OK\n\uFF21B-2236632\n");
}

TEST_F(InterpreterTest, WaitcharAndWaitkeyTakeOneUnit) {
    EXPECT_EQ(session({u"?waitchar;waitkey", u"x", u"\x41"}), u"OK\n12065\n");
    EXPECT_EQ(host.modes,
              (std::vector<InputMode>{InputMode::Line, InputMode::Char, InputMode::Key, InputMode::Line}));
}

TEST_F(InterpreterTest, InputReentersUntilAnAnswerEvaluates) {
    EXPECT_EQ(session({u"10 B=4:A=input:print A*2"}, {u"run", u"", u"\"", u"1/0", u"hi", u"B+3"}),
              u"OK\n? RE-ENTER\n? RE-ENTER\n? Divide by 0 in 10\nRE-ENTER\n? RE-ENTER\n? 14\nOK\n");
}

TEST_F(InterpreterTest, InputPromptIsProtected) {
    EXPECT_EQ(session({u"cls:A=input(\"Age\"):?A", u"0x10"}), u"OK\nAge16\n");
    for (int column = 0; column < 3; ++column)
        EXPECT_NE(console.screen().cellProtected[TextScreen::cellIndex(column, 0)], 0);
    EXPECT_EQ(console.screen().cellProtected[TextScreen::cellIndex(3, 0)], 0);
}

TEST_F(InterpreterTest, InputTakesTheByteAfterIt) {
    // The separator is taken harmlessly; an operator is lost and leaves its operand as a statement; a
    // literal is lost whole.
    EXPECT_EQ(session({u"10 A=input:B=1:?A;B", u"20 A=input+1", u"30 A=input 5 ?A:end", u"40 A=input\"s\"?A"},
                      {u"run", u"3", u"4", u"print A", u"run 30", u"6", u"run 40", u"8"}),
              u"OK\n? 31\n? Syntax Error in 20\nOK\n4\n? 6\nOK\n? 8\nOK\n");
}

TEST_F(InterpreterTest, InputBrokenOffYieldsZero) {
    // Ctrl-C without a break goes on with 0; at the end of the input the break stops the run.
    EXPECT_EQ(session({u"10 A=7:A=input:?A"}, {u"run", u"\x03"}), u"OK\n? 0\nOK\n");
    EXPECT_EQ(session({u"run"}), u"OK\n? Break in 10\nOK\n");
    EXPECT_EQ(peer.globalVars[0], 0);
}

TEST_F(InterpreterTest, FailedRightHandSideStoresNothing) {
    EXPECT_EQ(session({u"10 A=5:A=A/0"}, {u"run", u"?A", u"@(3)=2:@(3)=1/0:?@(3)", u"?@(3)"}),
              u"OK\nDivide by 0 in 10\nOK\n5\nDivide by 0 in 0\nOK\n2\n");
}

} // namespace
} // namespace tavik::test
