// LIST, SAVE, LOAD, MERGE and RUN of a file: the listed text, the file bytes, and how files are read back.
#include "interpreter_fixture.h"
#include "program_file.h"

#include <sys/stat.h>

namespace tavik::test {
namespace {

namespace fs = std::filesystem;

constexpr const char16_t* LOAD_ERROR = u"File Not Found or Load Error in 0\n";

std::u16string quoted(const std::u16string& name) {
    return u"\"" + name + u"\"";
}

TEST_F(InterpreterTest, ListRanges) {
    enter(u"10 A=1");
    enter(u"20 B=2");
    enter(u"30 C=3");
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"list", u"10 A=1\n20 B=2\n30 C=3\n"},
        {u"LIST 20", u"20 B=2\n"},
        {u"list 20-", u"20 B=2\n30 C=3\n"},
        {u"list -20", u"10 A=1\n20 B=2\n"},
        {u"list 15-25", u"20 B=2\n"},
        {u"list 30-10", u""},
        {u"list 25", u""},
        {u"list:?1", u"10 A=1\n20 B=2\n30 C=3\n1\n"},
        {u"list 10'x", u"10 A=1\n"},
        {u"list -", u"10 A=1\n20 B=2\n30 C=3\n"},
    };
    for (const auto& [line, output] : cases)
        EXPECT_EQ(exec(line), output) << std::string(line, line + std::u16string(line).size());
}

TEST_F(InterpreterTest, ListingWritesKeywordsInLowerCaseAndUnknownBytesInHex) {
    enter(u"10 PRINT \"Hi\";A");
    enter(u"20 ?0x001F:'ok \uFF21");
    enter(u"30 FOR I=007 TO 10 STEP -1:NEXT");
    enter(u"40 REMark \"\u3000");
    enter(u"50 IF a THEN 100");
    enter(u"60 A=ORIENT Or KEY 3 XOR NOT WAITKEY");
    enter(u"70 B");
    EXPECT_EQ(list(),
              u"10 print \"Hi\";A\n20 ?0x1f:'ok \uFF21\n30 for I=7 to 10 step -1:next\n40 remark \"\u3000\n"
              u"50 if a then 100\n60 A=orient or key 3 xor not waitkey\n70 B\n");
    peer.program.findLine(70)[5] = 0xE0;
    EXPECT_EQ(exec(u"list 70"), u"70 [?e0?]\n");
    peer.program.findLine(70)[5] = 0xAF;
    EXPECT_EQ(exec(u"list 70"), u"70 [?af?]\n");
    peer.program.findLine(70)[5] = 0xA1; // the code after PSET's is AUTO's
    EXPECT_EQ(exec(u"list 70"), u"70 auto\n");
}

TEST_F(InterpreterTest, SaveWritesTheListingAsUtf16) {
    TempDir dir;
    EXPECT_EQ(session({u"save " + quoted(dir.name("empty.tk"))}), u"OK\n");
    EXPECT_EQ(readBytes(dir.path / "empty.tk"), (Bytes{0xFF, 0xFE}));

    enter(u"10 PRINT \"Hi\";A");
    EXPECT_EQ(session({u"save " + quoted(dir.name("hi.tk"))}), u"OK\n");
    EXPECT_EQ(readBytes(dir.path / "hi.tk"), utf16(u"10 print \"Hi\";A\r\n"));

    enter(u"20\tB=0xA:'tab\there \uFF21");
    enter(u"5 save:?\"saved\"");
    EXPECT_EQ(session({u"run"}), u"OK\nsaved\nHi0\nOK\n")
        << "SAVE alone rewrites the current file, and the run goes on";
    EXPECT_EQ(readBytes(dir.path / "hi.tk"),
              utf16(u"5 save:?\"saved\"\r\n10 print \"Hi\";A\r\n20\tB=0xa:'tab\there \uFF21\r\n"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2);
}

TEST_F(InterpreterTest, SavedProgramLoadsBackToTheSameBytes) {
    TempDir dir;
    for (const char16_t* line :
         {u"10 PRINT \"Hi\";A", u"20 ?0x001F:'ok \uFF21\t\x0003", u"30 FOR I=007 TO 10 STEP -1:NEXT",
          u"40 \tREMark \"\u3000", u"50 @(1]=-1 : \"\u00E9\"", u"60 A=-32767"})
        enter(line);
    const Bytes before = area();
    session({u"save " + quoted(dir.name("round.tk")), u"new", u"load " + quoted(dir.name("round.tk"))});
    EXPECT_EQ(area(), before);
    EXPECT_EQ(std::u16string(peer.currentFileName), dir.name("round.tk"));
}

TEST_F(InterpreterTest, SaveWithoutAnyNameIsAParameterError) {
    EXPECT_EQ(session({u"save", u"save 5", u"save:?1", u"save \"\""}),
              u"OK\nParameter Error in 0\nOK\nSyntax Error in 0\nOK\nParameter Error in 0\nOK\nSave Error in "
              u"0\nOK\n");
}

TEST_F(InterpreterTest, FailedSaveLeavesEverythingAsItWas) {
    TempDir dir;
    fs::create_directory(dir.path / "folder");
    enter(u"10 A=1");
    session({u"save " + quoted(dir.name("good.tk"))});
    EXPECT_EQ(session({u"save " + quoted(dir.name("folder"))}), u"OK\nSave Error in 0\nOK\n");
    EXPECT_TRUE(fs::is_directory(dir.path / "folder"));
    EXPECT_TRUE(fs::is_empty(dir.path / "folder"));
    EXPECT_EQ(std::u16string(peer.currentFileName), dir.name("good.tk"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2)
        << "no file left over";
}

// A disk that fails from the third write on.
class FailingWrites : public FileWriteLayer {
  public:
    std::size_t write(std::FILE* file, const void* data, std::size_t size, std::size_t count) override {
        return ++writes >= 3 ? 0 : FileWriteLayer::write(file, data, size, count);
    }
    int writes = 0;
};

TEST_F(InterpreterTest, SaveFailingHalfWayKeepsTheOldFile) {
    TempDir dir;
    enter(u"10 A=1");
    session({u"save " + quoted(dir.name("p.tk"))});
    const Bytes old = readBytes(dir.path / "p.tk");
    enter(u"20 B=2");
    FailingWrites disk;
    FileWriteLayer::install(&disk);
    const std::u16string transcript = session({u"save " + quoted(dir.name("new.tk")), u"save"});
    FileWriteLayer::install(nullptr);
    EXPECT_EQ(transcript, u"OK\nSave Error in 0\nOK\nSave Error in 0\nOK\n");
    EXPECT_GE(disk.writes, 3);
    EXPECT_EQ(readBytes(dir.path / "p.tk"), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
    EXPECT_EQ(std::u16string(peer.currentFileName), dir.name("p.tk"));
}

TEST_F(InterpreterTest, FailedSaveInAReadOnlyFolderKeepsTheOldFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    TempDir dir;
    enter(u"10 A=1");
    session({u"save " + quoted(dir.name("p.tk"))});
    const Bytes old = readBytes(dir.path / "p.tk");
    enter(u"20 B=2");
    fs::permissions(dir.path, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(session({u"save"}), u"OK\nSave Error in 0\nOK\n");
    fs::permissions(dir.path, fs::perms::owner_all);
    EXPECT_EQ(readBytes(dir.path / "p.tk"), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
    EXPECT_EQ(std::u16string(peer.currentFileName), dir.name("p.tk"));
}

TEST_F(InterpreterTest, FileNamesLongerThan259UnitsAreRefused) {
    TempDir dir;
    // An existing file whose name is exactly 259 units, and the same name one unit longer.
    const std::u16string prefix = dir.name("");
    const std::u16string name259 = prefix + std::u16string(259 - prefix.size(), u'n');
    writeBytes(fs::path(std::string(name259.begin(), name259.end())), utf16(u"10 A=1\r\n"));
    const std::u16string name260 = name259 + u"n";

    const std::u16string other259 = prefix + std::u16string(259 - prefix.size(), u'm');

    // Such names only come from lines longer than typing allows, so the statements run from lineBuffer.
    enter(u"20 B=2");
    EXPECT_EQ(exec(u"save " + quoted(name260)), u"Save Error in 0\n");
    EXPECT_EQ(exec(u"save " + quoted(other259)), u"");
    EXPECT_EQ(readBytes(fs::path(std::string(other259.begin(), other259.end()))), utf16(u"20 B=2\r\n"));
    for (const char16_t* statement : {u"load ", u"merge ", u"run "}) {
        EXPECT_EQ(request(statement + quoted(name260)), std::u16string(LOAD_ERROR) + u"OK\n");
        EXPECT_EQ(list(), u"20 B=2\n") << "the program is kept";
    }
    EXPECT_FALSE(interp.requestRunFile(name260.c_str()));
    EXPECT_EQ(request(u"load " + quoted(name259)), u"OK\n");
    EXPECT_EQ(list(), u"10 A=1\n");
}

TEST_F(InterpreterTest, SaveTakesAnyNameTheFolderTakes) {
    // A typed name of 245 units in the current folder: the file system allows 255 bytes per name, and the
    // safe save must not need more than the name itself.
    TempDir dir;
    const fs::path was = fs::current_path();
    fs::current_path(dir.path);
    const std::u16string name(245, u'q');
    enter(u"10 A=1");
    EXPECT_EQ(session({u"save " + quoted(name)}), u"OK\n");
    fs::current_path(was);
    EXPECT_EQ(readBytes(dir.path / std::string(245, 'q')), utf16(u"10 A=1\r\n"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

TEST_F(InterpreterTest, LoadAcceptsLfOnlyAndMarkFreeFiles) {
    TempDir dir;
    const std::u16string text = u"10 PRINT \"Hi\";A\r\n20 A=1\r\n";
    writeBytes(dir.path / "crlf.tk", utf16(text));
    writeBytes(dir.path / "lf.tk", utf16(u"10 PRINT \"Hi\";A\n20 A=1\n"));
    writeBytes(dir.path / "nomark.tk", utf16(text, false));
    writeBytes(dir.path / "noend.tk", utf16(u"10 PRINT \"Hi\";A\r\n20 A=1"));
    session({u"load " + quoted(dir.name("crlf.tk"))});
    const Bytes expected = area();
    EXPECT_EQ(list(), u"10 print \"Hi\";A\n20 A=1\n");
    for (const char* file : {"lf.tk", "nomark.tk", "noend.tk"}) {
        EXPECT_EQ(session({u"new", u"load " + quoted(dir.name(file))}), u"OK\nOK\nOK\n");
        EXPECT_EQ(area(), expected) << file;
    }
}

TEST_F(InterpreterTest, LoadedLinesAreStoredInOrderAndNeverAsLineZero) {
    TempDir dir;
    writeBytes(dir.path / "order.tk", utf16(u"20 B\r\n10 A\r\n20 C\r\n30 D\r\n15 E\r\n"));
    writeBytes(dir.path / "zero.tk", utf16(u"10 A=1\r\n0 A=2\r\n20 A=3\r\n"));
    EXPECT_EQ(session({u"load " + quoted(dir.name("order.tk"))}), u"OK\nOK\n");
    EXPECT_EQ(list(), u"10 A\n15 E\n20 C\n30 D\n");
    EXPECT_EQ(session({u"load " + quoted(dir.name("zero.tk")), u"?1:?2"}),
              u"OK\nInvalid Line Number 0\nOK\n1\n2\n");
    EXPECT_EQ(list(), u"10 A=1\n");
}

TEST_F(InterpreterTest, FileLinesAreTypedLines) {
    TempDir dir;
    // A syntax error skips its line, an oversized line is read in pieces, another error ends the reading.
    writeBytes(dir.path / "mixed.tk", utf16(u"10 A\r\nhi\r\n20 '" + std::u16string(300, u'x') +
                                            u"\r\n?\"direct\"\r\nprint 1/0\r\n30 C\r\n"));
    EXPECT_EQ(session({u"load " + quoted(dir.name("mixed.tk")), u"?1"}),
              u"OK\nSyntax Error in 0\nhi\nSyntax Error in 0\n" + std::u16string(49, u'x') +
                  u"\ndirect\nDivide by 0 in 0\nOK\n1\n");
    EXPECT_EQ(list(), u"10 A\n20 '" + std::u16string(251, u'x') + u"\n");
}

TEST_F(InterpreterTest, UnreadableFilesReportALoadError) {
    TempDir dir;
    fs::create_directory(dir.path / "folder");
    enter(u"10 A=1");
    for (const std::string name : {"missing.tk", "folder"}) {
        for (const char16_t* statement : {u"load ", u"run ", u"merge "})
            EXPECT_EQ(session({statement + quoted(dir.name(name)), u"?1:?2"}),
                      u"OK\n" + std::u16string(LOAD_ERROR) + u"OK\n1\n2\n");
    }
    EXPECT_EQ(list(), u"") << "LOAD and RUN reset before reading";
    EXPECT_EQ(std::u16string(peer.currentFileName), dir.name("folder")) << "the name is recorded first";
}

TEST_F(InterpreterTest, RunOfAFileResetsLoadsAndRuns) {
    TempDir dir;
    writeBytes(dir.path / "p.tk", utf16(u"10 ?A+1\r\n"));
    enter(u"99 A=5");
    EXPECT_EQ(session({u"A=5:run " + quoted(dir.name("p.tk")), u"list"}), u"OK\n1\nOK\n10 ?A+1\n");
    ASSERT_TRUE(interp.requestRunFile(dir.name("p.tk").c_str()));
    interp.interpreterLoop();
    EXPECT_EQ(view.transcript.substr(view.transcript.size() - 5), u"1\nOK\n");
}

TEST_F(InterpreterTest, MergeEditsTheProgramLineByLine) {
    TempDir dir;
    writeBytes(dir.path / "edit.tk", utf16(u"20\r\n25 X=1\r\n10 A=9\r\n"));
    writeBytes(dir.path / "stop.tk", utf16(u"40\r\n50 E\r\n"));
    writeBytes(dir.path / "direct.tk", utf16(u"print 99\r\n30 ?3\r\n"));
    for (const char16_t* line : {u"10 A=1", u"20 B=2", u"30 C=3"}) enter(line);
    EXPECT_EQ(session({u"merge " + quoted(dir.name("edit.tk"))}), u"OK\nOK\n");
    EXPECT_EQ(list(), u"10 A=9\n25 X=1\n30 C=3\n");
    EXPECT_EQ(session({u"merge " + quoted(dir.name("stop.tk"))}), u"OK\nLine Number 40 not Found in 0\nOK\n");
    EXPECT_EQ(list(), u"10 A=9\n25 X=1\n30 C=3\n");
    // Run by a program, the file's unnumbered lines still run as typed lines.
    enter(u"5 merge " + quoted(dir.name("direct.tk")));
    EXPECT_EQ(session({u"run", u"?1"}), u"OK\n99\nOK\n1\n");
    EXPECT_EQ(list(), u"5 merge " + quoted(dir.name("direct.tk")) + u"\n10 A=9\n25 X=1\n30 ?3\n");
}

} // namespace
} // namespace tavik::test
