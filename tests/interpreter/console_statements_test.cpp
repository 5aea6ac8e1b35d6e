// The console, graphics and device statements: their output, their ranges and their syntax.
#include "interpreter_fixture.h"

namespace tavik::test {
namespace {

constexpr const char16_t* SE = u"Syntax Error in 0\n";
constexpr const char16_t* PE = u"Parameter Error in 0\n";

TEST_F(InterpreterTest, StatementOutputsAndErrors) {
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"print 1;2", u"12\n"},
        {u"print 1;2;", u"12"},
        {u"print 1,2", u"1       2\n"},
        {u"print", u"\n"},
        {u"print -5", u"-5\n"},
        {u"print 5", u"5\n"},
        {u"print -32767-1", u"-32768\n"},
        {u"print 1 2", u"12\n"},
        {u"?\"a\";", u"a"},
        {u"?\"a\",", u"a       "},
        {u"print chr 65;chr 66", u"AB\n"},
        {u"print chr 64+1", u"A\n"},
        {u"?chr 10;", u"\n"},
        {u"?chr 13;chr 0;chr 7;", u""},
        {u"?\"ab\";chr 8;", u"ab\b"},
        {u"?chr 9;1", u"        1\n"},
        {u"?1'x", u"1\n"},
        {u"?1;1/0", u"1Divide by 0 in 0\n"},
        {u"locate 1", SE},
        {u"locate 1 2", SE},
        {u"cls", u""},
        {u"width 100,100,0", u""},
        {u"width 10,10,64", u""},
        {u"width 9,20", PE},
        {u"width 101,10", PE},
        {u"width 10,101", PE},
        {u"width 20,20,65", PE},
        {u"width 20,20,-1", PE},
        {u"width 20,20 5", SE},
        {u"width 20", SE},
        {u"width 200,20 5", SE},
        {u"console 0,30", u""},
        {u"console 1,30", PE},
        {u"console 5,0", PE},
        {u"console -1,5", PE},
        {u"console 1", SE},
        {u"fcolor 255,0,0", u""},
        {u"fcolor 256,0,0", PE},
        {u"fcolor 0,-1,0", PE},
        {u"fcolor 1,2", SE},
        {u"bcolor 300,1", PE},
        {u"bcolor 1,2,3 4", SE},
        {u"graph 28,100,100", u""},
        {u"graph 29,100,100", PE},
        {u"graph 0,1,1", PE},
        {u"graph 5,1025,1", PE},
        {u"graph 5,1,0", PE},
        {u"graph 5,10", SE},
        {u"graph 50,10", SE},
        {u"graph:?1", u"1\n"},
        {u"gcls", u""},
        {u"pset 5,5", u""},
        {u"pset 5", SE},
        {u"waitms 3001", PE},
        {u"waitms -1", PE},
        {u"orient 180", PE},
        {u"orient 2", PE},
        {u"randomize", SE},
    };
    for (const auto& [line, output] : cases) {
        interp.resetInterpreter();
        EXPECT_EQ(exec(line), output) << std::string(line, line + std::u16string(line).size());
    }
    EXPECT_TRUE(host.sleeps.empty());
    EXPECT_TRUE(host.orientations.empty());
}

TEST_F(InterpreterTest, ConsoleStatementsChangeTheConsole) {
    exec(u"?chr 7;");
    EXPECT_EQ(view.count("beep"), 1);
    exec(u"locate 200,-3");
    EXPECT_EQ(console.cursorColumn(), 29);
    EXPECT_EQ(console.cursorRow(), 0);
    exec(u"width 20,15");
    EXPECT_EQ(console.screen().columns, 20);
    EXPECT_EQ(console.screen().rows, 15);
    EXPECT_EQ(console.screen().fontHeight, 16);
    exec(u"width 12,10,12:console 2,5");
    EXPECT_EQ(console.screen().fontHeight, 12);
    EXPECT_EQ(console.screen().scrollTop, 2);
    EXPECT_EQ(console.screen().scrollHeight, 5);
    exec(u"fcolor 255,0,0:bcolor 0,0x10,1");
    EXPECT_EQ(console.screen().foreground, 0x0000FFu);
    EXPECT_EQ(console.screen().background, 0x011000u);
    exec(u"graph 5,10,10");
    EXPECT_TRUE(console.plane().exists);
    EXPECT_EQ(console.plane().width, 10);
    EXPECT_EQ(console.screen().scrollTop, 5);
    exec(u"graph");
    EXPECT_FALSE(console.plane().exists);
    EXPECT_EQ(console.screen().scrollTop, 0);
    console.setInputLine(u"typed");
    exec(u"console 3,4:cls");
    EXPECT_EQ(console.inputLine()[0], 0);
    EXPECT_EQ(console.cursorRow(), 3);
}

TEST_F(InterpreterTest, WaitmsAndOrientCallTheHost) {
    EXPECT_EQ(exec(u"waitms 3000:waitms 0:orient 90:orient 1:orient 270:orient 0"), u"");
    EXPECT_EQ(host.sleeps, (std::vector<int>{3000, 0}));
    EXPECT_EQ(host.orientations, (std::vector<int>{1, 1, 4, 0}));

    // orient -1 waits for landscape, polling every 100 ms; on a landscape screen it returns at once.
    host.sleeps.clear();
    host.onSleep = [this] {
        if (host.sleeps.size() == 2) std::swap(host.width, host.height);
    };
    EXPECT_EQ(exec(u"orient -1:?orient"), u"1\n");
    EXPECT_EQ(host.sleeps, (std::vector<int>{100, 100}));
    EXPECT_EQ(exec(u"orient -1"), u"");
    EXPECT_EQ(host.sleeps.size(), 2u);

    // A break gives up the wait and is reported before the next statement.
    std::swap(host.width, host.height);
    host.onSleep = [this] { interp.breakRequested = 1; };
    EXPECT_EQ(exec(u"orient -1:?1"), u"Break in 0\n");
}

} // namespace
} // namespace tavik::test
