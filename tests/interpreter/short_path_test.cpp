// The short ways of the executor (an assignment between plain factors, a plain index, NEXT straight into
// its body) against the general ways, over generated programs: both must print the same, stop at the same
// statement with the same message, and leave the same variables. Then the cases the short ways must leave
// exactly as they were: a break met at the end of a loop's line, TRON, a program changed under a live loop.
#include "interpreter_fixture.h"

#include <random>
#include <string>
#include <thread>

namespace tavik::test {
namespace {

class ShortPathTest : public InterpreterTest {
  protected:
    // Runs the program from a zeroed array, with a break raised at the breakAt-th WAITMS, then prints every
    // variable and the first array elements; returns the transcript.
    std::u16string runBoth(const std::vector<std::u16string>& program, bool shortPaths, int breakAt,
                           const std::u16string& after = u"") {
        interp.resetInterpreter();
        peer.useShortPaths(shortPaths);
        for (const auto& line : program) enter(line);
        std::uint8_t* const array = peer.program.element(0);
        std::fill(array, peer.program.area + PROGRAM_AREA_BYTES, std::uint8_t{0});
        int sleeps = 0;
        host.onSleep = [&] {
            if (++sleeps == breakAt) interp.breakRequested.store(1);
        };
        view.forget();
        host.answers.clear();
        host.answers.push_back(u"run");
        if (!after.empty()) host.answers.push_back(after);
        host.answers.push_back(u"print A;B;C;D;E;F;I;J;K;a;b;c;@(0);@(1);@(2);@(3)");
        peer.runRequest = RunRequest::None;
        peer.errorFlag = 0;
        peer.directMode = 1;
        interp.interpreterLoop();
        host.onSleep = nullptr;
        peer.useShortPaths(true);
        return view.transcript;
    }

    std::u16string expectSameBothWays(const std::vector<std::u16string>& program, int breakAt,
                                      const std::u16string& after = u"") {
        const std::u16string general = runBoth(program, false, breakAt, after);
        const std::u16string quick = runBoth(program, true, breakAt, after);
        std::string listing;
        for (const auto& line : program) listing += std::string(line.begin(), line.end()) + "\n";
        EXPECT_EQ(quick, general) << listing;
        return quick;
    }
};

std::u16string u16s(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

// Programs of assignments, array stores, IFs that jump forward or run statements, GOTOs, nested FOR loops
// (steps of either sign and 0, limits that wrap) and subroutines with locals, some of them calling
// themselves, with a WAITMS in every loop so that a runaway loop ends in a break; some of them traced.
class Generator {
  public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    std::vector<std::u16string> program() {
        lines_.clear();
        number_ = 10;
        depth_ = 0;
        // Values other than 0, so that divisions mostly go through; now and then every line start traced.
        line(std::string(pick(8) == 0 ? "tron:" : "") +
             "A=3:B=-5:C=7:D=1000:E=2:F=-1:a=9:b=-7:c=4:@(0)=5:@(1)=-2:@(2)=1:@(3)=32767");
        block(3 + pick(6));
        line("end");
        number_ = 1000;
        line("a=" + factor() + ":b=" + factor() + ":" + assignment());
        // Now and then a subroutine that calls itself while c lasts: deep enough, a full stack.
        line(pick(4) == 0 ? "if c>0 then c=c-1:gosub 1000" : assignment());
        line("return");
        std::vector<std::u16string> out;
        for (const auto& l : lines_) out.push_back(u16s(l));
        return out;
    }

  private:
    int pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
    std::string variable() {
        static const char* const names[] = {"A", "B", "C", "D", "E", "F", "a", "b", "c"};
        return names[pick(9)];
    }
    std::string factor() {
        static const char* const literals[] = {"0",   "1",     "2",      "3",      "7",   "100",
                                               "255", "32767", "0x8000", "0xFFFF", "1000"};
        switch (pick(6)) {
        case 0:
        case 1:
        case 5: return variable();
        case 2: return literals[pick(11)];
        case 3: return "@(" + std::to_string(pick(5)) + ")";
        default: return pick(4) ? "-" + variable() : "@[" + std::to_string(pick(4)) + " ]";
        }
    }
    std::string op() {
        static const char* const ops[] = {
            "+", "-", "*", "/", "=", "<", ">", "<=", "<>", ">=", " and ", " or ", " xor ", " + ", "/ "};
        return ops[pick(15)];
    }
    std::string expression() {
        std::string e = factor();
        for (int n = pick(4); n > 0; --n) e += op() + factor();
        return e;
    }
    // The line after the one being written, as GOTO, GOSUB and THEN name it: a number alone, one with blanks
    // after it, a sum, or (rarely) a line that is not there.
    std::string nextLine() {
        const int next = number_ + 10;
        switch (pick(8)) {
        case 0: return std::to_string(next) + " ";
        case 1: return std::to_string(next - 3) + "+3";
        case 2: return pick(4) ? std::to_string(next) : std::to_string(next + 1);
        default: return std::to_string(next);
        }
    }
    // What may follow THEN besides a line: statements, whose literals may hold the byte of a line's end.
    std::string thenPart() {
        static const char* const skipped[] = {"13", "3341", "0x0D0D", "0xD00"};
        switch (pick(4)) {
        case 0: return assignment() + ":A=A+" + skipped[pick(4)];
        case 1: return "B=" + std::string(skipped[pick(4)]) + ":goto " + nextLine();
        default: return nextLine();
        }
    }
    std::string assignment() {
        const std::string target = pick(4) == 0 ? "@(" + std::to_string(pick(4)) + ")" : variable();
        return target + (pick(3) ? "=" : " = ") + expression();
    }
    void line(const std::string& text) {
        lines_.push_back(std::to_string(number_) + " " + text);
        number_ += 10;
    }
    void block(int statements) {
        for (int k = 0; k < statements; ++k) {
            switch (pick(depth_ < 3 ? 7 : 6)) {
            case 0:
            case 1: line(assignment()); break;
            case 2: line(assignment() + ":" + assignment()); break;
            case 3: line("if " + expression() + " then " + thenPart()); break;
            case 4: line("goto " + nextLine()); break;
            case 5:
                line(pick(3) ? "gosub 1000" : pick(2) ? "gosub 1000 :" + assignment() : "gosub 999+1");
                break;
            default: loop(); break;
            }
        }
    }
    void loop() {
        static const char* const steps[] = {"", " step 2", " step -1", " step -3", " step 0", " step 5000"};
        static const char* const starts[] = {"1", "0", "-2", "32760", "A", "c"};
        static const char* const limits[] = {"3", "5", "-4", "32767", "B", "1"};
        const std::string var = pick(4) == 0 ? "@(1)" : std::string(1, "IJKab"[pick(5)]);
        ++depth_;
        const std::string head =
            "for " + var + "=" + starts[pick(6)] + " to " + limits[pick(6)] + steps[pick(6)];
        if (pick(3) == 0) {
            // The whole loop on one line.
            line(head + ":waitms 0:" + assignment() + ":next");
        } else {
            line(pick(2) ? head : head + " ");
            line("waitms 0");
            block(1 + pick(3));
            line(pick(2) ? "next" : "next:" + assignment());
        }
        --depth_;
    }

    std::mt19937 rng_;
    std::vector<std::string> lines_;
    int number_ = 10;
    int depth_ = 0;
};

TEST_F(ShortPathTest, GeneratedProgramsRunAlikeBothWays) {
    Generator generate(20261208);
    int breaks = 0, errors = 0, ends = 0;
    for (int n = 0; n < 300; ++n) {
        const auto program = generate.program();
        const std::u16string out = expectSameBothWays(program, 400);
        if (HasFailure()) return;
        if (out.find(u"Break in") != std::u16string::npos)
            ++breaks;
        else if (out.find(u" in ") != std::u16string::npos) {
            ++errors;
        } else
            ++ends;
    }
    // The programs reach every way a run ends: a runaway loop's break, an error, the end.
    EXPECT_GT(breaks, 10);
    EXPECT_GT(errors, 10);
    EXPECT_GT(ends, 10);
}

TEST_F(ShortPathTest, BreakAtTheEndOfALoopsLineIsMetThereAndContinues) {
    // The break raised in the body's last statement is met at the end byte of line 20 (Break in 20), and
    // CONT goes on from there: through NEXT, into the body again.
    const std::vector<std::u16string> program = {u"10 for I=1 to 3", u"20 A=A+I:waitms 0", u"30 next",
                                                 u"40 print \"done\";A"};
    for (bool quick : {false, true}) {
        const std::u16string out = runBoth(program, quick, 2, u"cont");
        EXPECT_EQ(out, u"OK\nBreak in 20\nOK\ndone6\nOK\n6000003000000000\n");
    }
    // A loop on one line: the break is met at NEXT, which CONT then runs.
    expectSameBothWays({u"10 for I=1 to 3:A=A+I:waitms 0:next:print A"}, 2, u"cont");
    // The body on the FOR's line after a separator, NEXT on the next line.
    expectSameBothWays({u"10 for J=5 to 1 step -2: B=B+J", u"20 waitms 0", u"30 next"}, 2, u"cont");
}

TEST_F(ShortPathTest, TraceAndChangedProgramsKeepTheirWays) {
    // With TRON every line start of the loop is traced, also the FOR's line end that NEXT goes back to.
    EXPECT_EQ(session({u"10 for I=1 to 2", u"20 A=A+1", u"30 next"}, {u"tron", u"run", u"troff"}),
              u"OK\n[10][20][30][20][30][0]OK\n");
    // Entering a line clears the stack under a live loop.
    EXPECT_EQ(session({u"10 for I=1 to 3", u"20 break", u"30 next"}, {u"run", u"25 rem", u"next"}),
              u"OK\nBreak in 20\nOK\nNext without For in 0\nOK\n");
    // A loop typed in direct mode and closed by the program's NEXT after the typed line was replaced.
    EXPECT_EQ(session({u"10 print I", u"20 next"}, {u"for I=1 to 3", u"goto 10"}),
              u"OK\n1\nCan't Continue in 20\nOK\n");
    // NEXT typed after a break goes back into the program's bytes but stays in direct mode: the line's end
    // ends it; CONT then goes on after the BREAK.
    EXPECT_EQ(
        session({u"10 for I=1 to 2", u"20 break", u"30 next", u"40 print I"}, {u"run", u"next", u"cont"}),
        u"OK\nBreak in 20\nOK\n2\nOK\n");
}

// PSET keeps the console's lock over a run of points, but never while the interpreter waits, and never past
// the run: a painter on another thread gets in at every WAITMS and after the run, and every point is there.
TEST_F(InterpreterTest, PsetLetsGoOfTheConsoleBeforeItWaitsAndWhenTheRunStops) {
    auto freeElsewhere = [&] {
        bool free = false;
        std::thread painter([&] {
            if (console.lock().try_lock()) {
                free = true;
                console.lock().unlock();
            }
        });
        painter.join();
        return free;
    };
    int waits = 0, blocked = 0;
    host.onSleep = [&] {
        ++waits;
        if (!freeElsewhere()) ++blocked;
    };
    EXPECT_EQ(session({u"10 graph 4,20,20:fcolor 255,0,0", u"20 for I=0 to 9:pset I,I:waitms 0:next",
                       u"30 for I=0 to 599:pset I/30,19:next:waitms 0", u"40 pset 5,5:print pointr(5,5)",
                       u"50 pset 6,6:A=1/0"},
                      {u"run"}),
              u"OK\n255\nDivide by 0 in 50\nOK\n");
    host.onSleep = nullptr;
    EXPECT_EQ(waits, 11);
    EXPECT_EQ(blocked, 0);
    EXPECT_TRUE(freeElsewhere());
    for (int i = 0; i < 10; ++i) EXPECT_EQ(console.pointColour(i, i), 255u) << i;
    for (int x = 0; x < 20; ++x) EXPECT_EQ(console.pointColour(x, 19), 255u) << x;
    EXPECT_EQ(console.pointColour(6, 6), 255u);
    EXPECT_NE(console.pointColour(8, 3), 255u);
}

} // namespace
} // namespace tavik::test
