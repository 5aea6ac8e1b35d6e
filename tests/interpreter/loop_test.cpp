// The interpreter loop: when "OK" appears, how typed lines are stored or run, and what an error leaves.
#include "interpreter_fixture.h"

namespace tavik::test {
namespace {

TEST_F(InterpreterTest, StartShowsTheBannerThenOk) {
    interp.startInterpreter();
    interp.interpreterLoop();
    EXPECT_EQ(view.transcript, u"\u30BF\u30D3\u30AFWM Ver 0.03\nOK\n");
}

TEST_F(InterpreterTest, OkAppearsOnlyWhenTheLoopEntersDirectMode) {
    EXPECT_EQ(session({u"PRINT 1", u"END", u"PRINT 2", u"10 ?3", u"RUN", u"?4"}),
              u"OK\n1\nOK\n2\n3\nOK\n4\n");
}

TEST_F(InterpreterTest, TypedSyntaxErrorShowsTheLineAndReadsOn) {
    EXPECT_EQ(session({u"PRINT hi", u"?1", u"10 A=\"", u"list"}),
              u"OK\nSyntax Error in 0\nPRINT hi\n1\nSyntax Error in 0\n10 A=\"\n");
}

TEST_F(InterpreterTest, RefusedProgramLinesReportAndReturnToOk) {
    EXPECT_EQ(session({u"0 ?1", u"10", u"?1"}),
              u"OK\nInvalid Line Number 0\nOK\nLine Number 10 not Found in 0\nOK\n1\n");
}

TEST_F(InterpreterTest, ErrorsNameTheLineTheyHappenedIn) {
    // After a stop in line 50, a typed syntax error still names 50 until a typed line has run.
    EXPECT_EQ(session({u"10 gosub 50", u"50 A=1/0"}, {u"run", u"hi", u"?1", u"hi"}),
              u"OK\nDivide by 0 in 50\nOK\nSyntax Error in 50\nhi\n1\nSyntax Error in 0\nhi\n");
    EXPECT_EQ(peer.currentLineNumber, 0);
}

TEST_F(InterpreterTest, TypingAProgramLineForgetsTheRun) {
    EXPECT_EQ(session({u"A=5:a=6:for I=1 to 2", u"10 rem", u"?A;a:next"}),
              u"OK\n00\nNext without For in 0\nOK\n");
}

TEST_F(InterpreterTest, FailedRequestStartsDirectModeOnce) {
    // A RUN of a missing line from a running program, and from a typed line with more after it.
    EXPECT_EQ(session({u"10 run 99:?\"no\""}, {u"run", u"?1:?2", u"run 98:?3", u"?4:?5"}),
              u"OK\nLine Number 99 not Found in 10\nOK\n1\n2\nLine Number 98 not Found in 0\nOK\n4\n5\n");
}

TEST_F(InterpreterTest, NewForgetsTheFileNameAndTheTrace) {
    peer.traceFlag = 1;
    std::copy_n(u"x.tk", 5, peer.currentFileName);
    EXPECT_EQ(session({u"new", u"save"}), u"OK\nOK\nParameter Error in 0\nOK\n");
    EXPECT_EQ(peer.traceFlag, 0);
}

// Lines of a file being loaded; a break is raised (as Ctrl-C would, from the other thread) while line
// `breakAfter` (from 0) is read.
class BreakingSource : public LineSource {
  public:
    BreakingSource(std::vector<std::u16string> lines, std::size_t breakAfter, std::atomic<int>& flag)
        : lines_(std::move(lines)), breakAfter_(breakAfter), flag_(flag) {}
    bool readLine(char16_t* buffer, int capacity) override {
        if (next_ == breakAfter_) flag_.store(1);
        if (next_ == lines_.size()) return false;
        const std::u16string line = lines_[next_++] + u"\n";
        const int n = std::min(static_cast<int>(line.size()), capacity - 1);
        std::copy_n(line.data(), n, buffer);
        buffer[n] = 0;
        return true;
    }

  private:
    std::vector<std::u16string> lines_;
    std::size_t breakAfter_;
    std::size_t next_ = 0;
    std::atomic<int>& flag_;
};

TEST_F(InterpreterTest, BreakWhileAFileLoadsStopsTheLoadAndARaisedBreakBeforeItStopsNothing) {
    peer.loadingFlag = 1;
    BreakingSource source({u"10 ?\"ran\"", u"20 ?\"on\"", u"?\"direct\""}, 1, interp.breakRequested);
    peer.directLoop(&source);
    EXPECT_EQ(view.transcript, u"Break in 0\n");
    EXPECT_EQ(peer.errorFlag, 1);
    EXPECT_EQ(list(), u"10 ?\"ran\"\n20 ?\"on\"\n"); // the direct line after it never ran

    // A break raised before the command is taken up (the menu raises one before it types RUN "file", a
    // host before it asks for a file to run) stops nothing; one raised while the statement that asks for
    // the run works (its INPUT answered by Ctrl-C) stops it.
    TempDir dir;
    writeBytes(dir.path / "p.tk", utf16(u"10 ?\"ran\"\r\n"));
    const std::u16string name = dir.name("p.tk");
    interp.breakRequested.store(1);
    EXPECT_EQ(session({u"run \"" + name + u"\""}), u"OK\nran\nOK\n");
    interp.breakRequested.store(1);
    ASSERT_TRUE(interp.requestRunFile(name.c_str()));
    EXPECT_TRUE(interp.runUntilDirect());
    EXPECT_EQ(view.transcript, u"OK\nran\nOK\nran\n");
    EXPECT_EQ(session({u"10 run input"}, {u"run"}), u"OK\n? Break in 10\nOK\n")
        << "the input has run dry: its break stops the run that RUN INPUT asks for";
}

} // namespace
} // namespace tavik::test
