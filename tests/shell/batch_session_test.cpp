#include "batch_session.h"
#include "interpreter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace tavik {
namespace {

const std::string BANNER = "\xE3\x82\xBF\xE3\x83\x93\xE3\x82\xAF"
                           "WM Ver 0.03\n";

struct Outcome {
    int status;
    std::string transcript;
    std::string errors;
};

Outcome run(const std::string& input, std::optional<std::string> file = std::nullopt) {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    BatchOptions options;
    options.file = std::move(file);
    const int status = runBatchSession(in, out, err, options);
    return {status, out.str(), err.str()};
}

// A program file as the system writes them: UTF-16LE with a byte-order mark, CR LF line ends.
std::filesystem::path writeProgram(const std::string& name, const std::u16string& text) {
    const auto dir = std::filesystem::temp_directory_path() / ("tavik-batch-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const auto path = dir / name;
    std::ofstream f(path, std::ios::binary);
    const std::u16string all = u"\uFEFF" + text;
    for (char16_t u : all) {
        f.put(static_cast<char>(u & 0xFF));
        f.put(static_cast<char>(u >> 8));
    }
    return path;
}

TEST(BatchSession, ConsoleShowsBannerOkEchoAndOutputAndEndsWithTheInput) {
    const Outcome o = run("PRINT 1+2\n");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.transcript, BANNER + "OK\nPRINT 1+2\n3\n");

    EXPECT_EQ(run("").transcript, BANNER + "OK\n");
    const Outcome exited = run("EXIT\nPRINT 5\n");
    EXPECT_EQ(exited.status, 0);
    EXPECT_EQ(exited.transcript, BANNER + "OK\nEXIT\n") << "nothing after EXIT is read";
}

TEST(BatchSession, ScreenSizeShapesTheConsoleAndOrientRotatesIt) {
    const std::string probe = "PRINT DEFFONTSIZE;\" \";SCREENPEEK(29,29);\" \";SCREENPEEK(30,0);\" \";"
                              "SCREENPEEK(59,59);\" \";SCREENPEEK(60,0);\" \";ORIENT\n";
    const std::string rotate = "ORIENT 1\nPRINT ORIENT\n";
    auto output = [&](const std::string& answer) {
        return BANNER + "OK\n" + probe + answer + rotate + "1\n";
    };

    // 480 x 640: cells of 16 pixels, a square console of 30 x 30.
    EXPECT_EQ(run(probe + rotate).transcript, output("16 32 -1 -1 -1 0\n"));

    // 1280 x 960: the smaller side gives a 60 x 60 console of 16-pixel cells.
    std::istringstream in(probe + rotate);
    std::ostringstream out;
    std::ostringstream err;
    BatchOptions options;
    options.width = 1280;
    options.height = 960;
    EXPECT_EQ(runBatchSession(in, out, err, options), 0);
    EXPECT_EQ(out.str(), output("32 32 32 32 -1 1\n"));
}

TEST(BatchSession, WrappingAtTheRightEdgeWritesNoLineEnd) {
    const Outcome o = run("PRINT \"" + std::string(40, 'x') + "\"\n");
    EXPECT_EQ(o.transcript,
              BANNER + "OK\nPRINT \"" + std::string(40, 'x') + "\"\n" + std::string(40, 'x') + "\n");
}

TEST(BatchSession, FileRunsWithoutBannerAndGivesAnExitStatus) {
    Outcome o = run("", writeProgram("ok.tk", u"10 PRINT \"HI\"\r\n20 PRINT 7*6\r\n").string());
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.transcript, "HI\n42\n");

    o = run("", writeProgram("end.tk", u"10 PRINT 1\r\n20 END\r\n30 PRINT 2\r\n").string());
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.transcript, "1\n");

    o = run("PRINT 9\n", writeProgram("exit.tk", u"10 EXIT\r\n20 PRINT 2\r\n").string());
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.transcript, "") << "EXIT ends the process; no direct mode follows";

    const auto error = writeProgram("error.tk", u"10 PRINT 1;\r\n20 A=1/0\r\n").string();
    o = run("", error);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.transcript, "1") << "the message is no part of what the program wrote";
    EXPECT_EQ(o.errors, error + ": Divide by 0 in 20\n");

    const auto stop = writeProgram("break.tk", u"10 PRINT 1\r\n20 BREAK\r\n30 PRINT 2\r\n").string();
    o = run("", stop);
    EXPECT_EQ(o.status, 130);
    EXPECT_EQ(o.transcript, "1\n");
    EXPECT_EQ(o.errors, stop + ": Break in 20\n");
}

TEST(BatchSession, FileReadsItsInputFromStandardInput) {
    const auto program = writeProgram("input.tk", u"10 A=INPUT\r\n20 PRINT A*2\r\n30 GOTO 10\r\n").string();
    const Outcome o = run("21\n5\n", program);
    EXPECT_EQ(o.status, 130) << "the end of the input breaks the waiting run";
    EXPECT_EQ(o.transcript, "? 21\n42\n? 5\n10\n? ");
    EXPECT_EQ(o.errors, program + ": Break in 10\n");
}

TEST(BatchSession, FileThatCannotBeRunIsAnError) {
    Outcome o = run("", "/nonexistent/tavik/none.tk");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.transcript, "");
    EXPECT_EQ(o.errors, "/nonexistent/tavik/none.tk: File Not Found or Load Error in 0\n");

    const std::string tooLong = std::string(300, 'n') + ".tk";
    o = run("", tooLong);
    EXPECT_EQ(o.status, 1) << "a name too long to pass is refused the same way";
    EXPECT_EQ(o.errors, tooLong + ": File Not Found or Load Error in 0\n");
}

// A program's escape sequences would retitle a terminal and write its clipboard: to a terminal every
// control but the line ends, tabs and backspaces of the output is shown as U+FFFD; a pipe or file gets the
// characters as they are.
TEST(BatchSession, ATerminalGetsNoControlsFromTheProgram) {
    const auto program = writeProgram(
        "escape.tk",
        u"10 PRINT CHR 27;\"]0;PWNED\";CHR 7;CHR 27;\"]52;c;SGVsbG8=\";CHR 155;CHR 8238;\"x\"\r\n"
        u"20 PRINT CHR 9;CHR 8;CHR 13;CHR 127;CHR 8297;CHR 8298;CHR 159;CHR 160;CHR 31;CHR 32\r\n"
        u"30 A=INPUT:PRINT A\r\n");
    const std::string typed = "\x1b[2J\xe2\x80\xae"
                              "5\n5\n"; // its echo too
    auto runTo = [&](bool terminal) {
        std::istringstream in(typed);
        std::ostringstream out;
        std::ostringstream err;
        BatchOptions options;
        options.file = program.string();
        options.outputIsTerminal = terminal;
        EXPECT_EQ(runBatchSession(in, out, err, options), 0);
        return out.str();
    };
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ(runTo(true), fffd + "]0;PWNED" + fffd + "]52;c;SGVsbG8=" + fffd + fffd + "x\n" + "        \b" +
                               fffd + fffd + "\xE2\x81\xAA" + fffd + "\xC2\xA0" + fffd + " \n? " + fffd +
                               "[2J" + fffd + "5\nRE-ENTER\n? 5\n5\n");
    EXPECT_EQ(runTo(false), "\x1B]0;PWNED\x1B]52;c;SGVsbG8=\xC2\x9B\xE2\x80\xAEx\n"
                            "        \b\x7F\xE2\x81\xA9\xE2\x81\xAA\xC2\x9F\xC2\xA0\x1F \n"
                            "? \x1B[2J\xE2\x80\xAE"
                            "5\nRE-ENTER\n? 5\n5\n");

    // A refused line of the file, shown on standard error, the same way.
    const auto refused = writeProgram("refused.tk", u"10 A=@\x1B]0;X\x9B\r\n").string();
    for (const bool terminal : {true, false}) {
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        BatchOptions options;
        options.file = refused;
        options.errorIsTerminal = terminal;
        EXPECT_EQ(runBatchSession(in, out, err, options), 1);
        EXPECT_EQ(err.str(), refused + ":1: Syntax Error: 10 A=@" + (terminal ? fffd : "\x1B") + "]0;X" +
                                 (terminal ? fffd : "\xC2\x9B") + "\n");
    }
}

TEST(BatchSession, TwentyThousandPrintedLinesAreQuick) {
    const auto start = std::chrono::steady_clock::now();
    const Outcome o = run("FOR I=1 TO 20000:PRINT I:NEXT\n");
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::string expected = BANNER + "OK\nFOR I=1 TO 20000:PRINT I:NEXT\n";
    for (int i = 1; i <= 20000; ++i) expected += std::to_string(i) + "\n";
    EXPECT_EQ(o.transcript, expected);
    EXPECT_LT(seconds, 5.0);
}

// Output that takes a given number of bytes and then fails, as a full disk does.
class FailingOutput : public std::streambuf {
  public:
    explicit FailingOutput(std::size_t room) : room_(room) {}
    std::string taken;

  protected:
    std::streamsize xsputn(const char* data, std::streamsize count) override {
        const auto n = std::min(static_cast<std::size_t>(count), room_ - taken.size());
        taken.append(data, n);
        return static_cast<std::streamsize>(n);
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char byte = traits_type::to_char_type(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }

  private:
    std::size_t room_;
};

TEST(BatchSession, FailedOutputEndsTheRunWithStatusOne) {
    const auto forever = writeProgram("forever.tk", u"10 PRINT \"again\"\r\n20 GOTO 10\r\n").string();
    const auto waiting = writeProgram("waiting.tk", u"10 A=INPUT\r\n20 GOTO 10\r\n").string();
    struct Case {
        std::string input;
        std::optional<std::string> file;
    };
    // A program printing for ever, one waiting for input that keeps coming, the console typed at.
    for (const Case& c :
         {Case{"", forever}, Case{std::string(200000, '\n'), waiting},
          Case{"FOR I=1 TO 30000:PRINT I:NEXT\n" + std::string(100000, '\n'), std::nullopt}}) {
        FailingOutput room(1000);
        std::ostream out(&room);
        std::istringstream in(c.input);
        std::ostringstream err;
        BatchOptions options;
        options.file = c.file;
        EXPECT_EQ(runBatchSession(in, out, err, options), 1) << c.file.value_or("typed");
        EXPECT_EQ(err.str(), "tavikwm: standard output: write failed\n") << "and no message of the break";
        EXPECT_EQ(room.taken.size(), 1000u);
    }
}

TEST(BatchSession, OnlyTheMessageThatStopsAScriptLeavesTheOutput) {
    // An answer's error is part of the dialogue with the program.
    const auto program =
        writeProgram("dialogue.tk", u"10 A=INPUT\r\n20 PRINT A\r\n30 SAVE \"/nonexistent/tavik/x.tk\"\r\n")
            .string();
    const Outcome o = run("1/0\n7\n", program);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.transcript, "? 1/0\nDivide by 0 in 10\nRE-ENTER\n? 7\n7\n");
    EXPECT_EQ(o.errors, program + ": Save Error in 30\n");
}

} // namespace
} // namespace tavik
