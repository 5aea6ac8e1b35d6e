// A lone factor and `factor op factor` are evaluated without the operator loop. They must give what the loop
// gives, leave the read position where it leaves it, and leave to it the cases with an error.
#include "interpreter_fixture.h"

#include <string>

namespace tavik::test {
namespace {

TEST_F(InterpreterTest, ShortExpressionsAgreeWithTheOperatorLoop) {
    const char16_t* const operators[] = {u"+", u"-", u"*",  u"/",     u"<",    u"<=",   u"<>",
                                         u"=", u">", u">=", u" and ", u" or ", u" xor "};
    const int values[] = {-32768, -32767, -1000, -7, -2, -1, 0, 1, 2, 3, 7, 255, 256, 1000, 32766, 32767};
    for (const char16_t* op : operators) {
        for (int a : values) {
            for (int b : values) {
                if (b == 0 && std::u16string(op) == u"/") continue;
                peer.globalVars['A' - 'A'] = static_cast<std::int16_t>(a);
                peer.localsPtr['b' - 'a'] = static_cast<std::int16_t>(b);
                // Brackets send both operands through the loop; literals and variables take the short way.
                const std::u16string opText(op);
                std::u16string slowText = u"(A)";
                slowText.append(opText).append(u"(b)");
                const std::int16_t slow = eval(slowText);
                // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on a chain of +.
                std::u16string fastText = u"A";
                fastText.append(opText);
                if (b < 0)
                    fastText.append(u"b");
                else
                    fastText.append(u16(std::to_string(b)));
                const std::int16_t fast = eval(fastText);
                EXPECT_EQ(fast, slow)
                    << a << " " << std::string(op, op + std::u16string(op).size()) << " " << b;
                EXPECT_EQ(*peer.readPtr, TOK_END) << "the whole line is the expression";
            }
        }
    }
    EXPECT_EQ(view.transcript, u"") << "no errors";
}

TEST_F(InterpreterTest, ChainsOfOperatorsAgreeWithTheOperatorLoop) {
    // Runs that the short way works off left to right, and runs where it hands over to the loop midway.
    const char16_t* const operators[] = {u"+", u"-", u"*", u"/", u"<", u"=", u">=", u" and ", u" xor "};
    const int values[] = {-32768, -3, -1, 1, 2, 7, 300, 32767};
    for (const char16_t* op1 : operators) {
        for (const char16_t* op2 : operators) {
            for (int a : values) {
                for (int b : values) {
                    peer.globalVars[0] = static_cast<std::int16_t>(a);
                    peer.localsPtr[1] = static_cast<std::int16_t>(b);
                    const std::u16string o1(op1), o2(op2);
                    const std::int16_t slow = eval(u"(A)" + o1 + u"(b)" + o2 + u"(3)" + o1 + u"(A)");
                    const std::int16_t fast = eval(u"A" + o1 + u"b" + o2 + u"3" + o1 + u"A");
                    EXPECT_EQ(fast, slow) << a << " " << std::string(o1.begin(), o1.end()) << " " << b << " "
                                          << std::string(o2.begin(), o2.end());
                    EXPECT_EQ(*peer.readPtr, TOK_END);
                }
            }
        }
    }
    EXPECT_EQ(view.transcript, u"") << "no errors";
}

TEST_F(InterpreterTest, ShortExpressionsStopWhereTheLoopStops) {
    // What follows the expression is read by the statement: the value, then what the statement does next.
    EXPECT_EQ(exec(u"A=7:B=A+1 C=B*2:?A;B;C"), u"7816\n");
    EXPECT_EQ(exec(u"A=2:?A<3;A>3;A=2"), u"-10-1\n");
    EXPECT_EQ(exec(u"for I=1 to 2+1:?I;:next"), u"123");
    EXPECT_EQ(exec(u"?@(1+1),2"), u"0    2\n");
    // Errors and two-byte relations are the loop's; a third operand goes on through it.
    EXPECT_EQ(exec(u"A=5:A=A/0"), u"Divide by 0 in 0\n");
    EXPECT_EQ(exec(u"?A"), u"5\n") << "a failed right-hand side stores nothing";
    EXPECT_EQ(exec(u"?1< =2;3> =3;1< >1"), u"-1-10\n");
    EXPECT_EQ(exec(u"?1<2<3;3>2>1;2+3*4;A/Z"), u"-1014Divide by 0 in 0\n");
    EXPECT_EQ(exec(u"?1+"), u"Syntax Error in 0\n");
}

} // namespace
} // namespace tavik::test
