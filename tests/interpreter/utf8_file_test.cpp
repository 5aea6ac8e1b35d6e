// Program files from other editors: UTF-8 text, with or without its mark, reads like the UTF-16LE files
// that SAVE writes. The first bytes decide: FF FE is UTF-16LE, EF BB BF is UTF-8, otherwise a 0 as the
// second byte means UTF-16LE and anything else UTF-8.
#include "interpreter_fixture.h"
#include "program_file.h"

#include <string>
#include <utility>
#include <vector>

namespace tavik::test {
namespace {

namespace fs = std::filesystem;
using Encoding = ProgramFileReader::Encoding;

// UTF-8 bytes of text, with the mark EF BB BF first when asked.
Bytes utf8(const std::u16string& text, bool mark = false) {
    Bytes out;
    if (mark) out = {0xEF, 0xBB, 0xBF};
    const std::string encoded = utf8FromUtf16(text.data(), text.size());
    out.insert(out.end(), encoded.begin(), encoded.end());
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Every piece the reader gives for the file's bytes, read as the direct loop reads (256 units of room).
std::vector<std::u16string> pieces(const Bytes& bytes, int capacity = 256) {
    TempDir dir;
    writeBytes(dir.path / "f.tk", bytes);
    auto reader = ProgramFileReader::open(dir.path / "f.tk");
    EXPECT_NE(reader, nullptr);
    std::vector<std::u16string> out;
    if (!reader) return out;
    std::vector<char16_t> buffer(static_cast<std::size_t>(capacity) + 1, u'#');
    while (reader->readLine(buffer.data(), capacity)) {
        out.emplace_back(buffer.data());
        EXPECT_LE(out.back().size(), static_cast<std::size_t>(capacity - 1));
        if (out.size() > 100000) break; // a reader that never ends
    }
    return out;
}

// All units the reader gives, the pieces joined.
std::u16string allUnits(const Bytes& bytes) {
    std::u16string out;
    for (const auto& piece : pieces(bytes)) out += piece;
    return out;
}

TEST(ProgramFileEncodingTest, TheFirstBytesDecide) {
    const std::pair<Bytes, Encoding> cases[] = {
        {{0xFF, 0xFE}, Encoding::Utf16le},             // the mark SAVE writes
        {{0xFF, 0xFE, 0x31, 0x00}, Encoding::Utf16le}, //
        {{0xFF, 0xFE, 0xBF}, Encoding::Utf16le},       // the UTF-16 mark wins over anything after it
        {{0xEF, 0xBB, 0xBF}, Encoding::Utf8},          // the UTF-8 mark
        {{0xEF, 0xBB, 0xBF, 0x00}, Encoding::Utf8},    //
        {{0x31, 0x00, 0x30, 0x00}, Encoding::Utf16le}, // "10" in UTF-16LE without the mark
        {{0x31, 0x30, 0x20}, Encoding::Utf8},          // "10 " in UTF-8 without the mark
        {{0xE3, 0x81, 0x82}, Encoding::Utf8},          // a Japanese character in UTF-8
        {{0x42, 0x30}, Encoding::Utf8},                // U+3042 in UTF-16LE looks like "B0": UTF-8
        {{0xFE, 0xFF, 0x00, 0x31}, Encoding::Utf8},    // a big-endian mark is not known
        {{0xEF, 0xBB}, Encoding::Utf8},                // half a UTF-8 mark
        {{0x00, 0x00}, Encoding::Utf16le},             //
        {{0x41}, Encoding::Utf8},                      // a single byte has no second byte
        {{}, Encoding::Utf8},                          // nor has an empty file
    };
    for (const auto& [head, expected] : cases) {
        EXPECT_EQ(ProgramFileReader::detectEncoding(head.data(), head.size()), expected)
            << "head of " << head.size() << " bytes";
    }
}

TEST(ProgramFileReaderTest, Utf8ReadsLikeTheSameTextInUtf16) {
    const std::u16string texts[] = {
        u"10 PRINT \"Hi\";A\r\n20 A=1\r\n",                    // CR LF
        u"10 PRINT \"Hi\";A\n20 A=1\n",                        // LF alone
        u"10 A=1\n\n\r\n20 B=2",                               // empty lines, no line end at the end
        u"10 ?\"\u00E9\u3042\uFF21\u3000\"\r\n20 '\u20AC\r\n", // two and three bytes per character
        u"10 ?\"\U0001F600\"\r\n",                             // four bytes: a surrogate pair
        u"10 '" + std::u16string(300, u'\u3042') + u"\r\n20 '" + std::u16string(600, u'x') +
            u"\n", // long lines
        u"\r\n",   //
    };
    for (const auto& text : texts) {
        const auto expected = pieces(utf16(text, false));
        EXPECT_EQ(pieces(utf8(text)), expected) << "without the mark";
        // The UTF-8 mark is read as U+FEFF, as the UTF-16 mark is: the first line begins with it.
        EXPECT_EQ(pieces(utf8(text, true)), pieces(utf16(text))) << "with the mark";
    }
}

TEST(ProgramFileReaderTest, LinesAreCutIntoPiecesOf255Units) {
    // Each piece holds at most 255 units and ends after an LF; a character of several bytes is one unit.
    const auto ascii = pieces(utf8(std::u16string(600, u'a') + u"\n" + u"b\r\n"));
    ASSERT_EQ(ascii.size(), 4u);
    EXPECT_EQ(ascii[0], std::u16string(255, u'a'));
    EXPECT_EQ(ascii[1], std::u16string(255, u'a'));
    EXPECT_EQ(ascii[2], std::u16string(90, u'a') + u"\n");
    EXPECT_EQ(ascii[3], u"b\r\n");

    const auto wide = pieces(utf8(std::u16string(256, u'\u3042'), true));
    ASSERT_EQ(wide.size(), 2u);
    EXPECT_EQ(wide[0], u"\uFEFF" + std::u16string(254, u'\u3042'))
        << "the mark takes a unit of the first piece";
    EXPECT_EQ(wide[1], std::u16string(2, u'\u3042'));

    // A character beyond U+FFFF whose two units do not both fit is split between pieces, as in UTF-16.
    const std::u16string split = std::u16string(254, u'x') + u"\U0001F600" + u"y\n";
    const auto pair = pieces(utf8(split));
    EXPECT_EQ(pair, pieces(utf16(split, false)));
    ASSERT_EQ(pair.size(), 2u);
    EXPECT_EQ(pair[0], std::u16string(254, u'x') + u"\xD83D");
    EXPECT_EQ(pair[1], u"\xDE00y\n");

    // A smaller room, as any caller may give.
    EXPECT_EQ(pieces(utf8(u"\u00E9\u00E9\u00E9\n"), 3),
              (std::vector<std::u16string>{u"\u00E9\u00E9", u"\u00E9\n"}));
}

TEST(ProgramFileReaderTest, BytesOfNoCharacterReadAsReplacementCharacters) {
    const std::pair<Bytes, std::u16string> cases[] = {
        {{'a', 0x80, 'b'}, u"a\uFFFDb"},                               // a continuation byte alone
        {{'a', 0xBF, 0xBF, '\n'}, u"a\uFFFD\uFFFD\n"},                 //
        {{'a', 0xC3, 'b'}, u"a\uFFFDb"},                               // a lead byte without its continuation
        {{'a', 0xE3, 0x81, 'b'}, u"a\uFFFD\uFFFDb"},                   // a three-byte character cut short
        {{'a', 0xC0, 0xAF}, u"a\uFFFD\uFFFD"},                         // too long a form of '/'
        {{'a', 0xE0, 0x80, 0xAF}, u"a\uFFFD\uFFFD\uFFFD"},             //
        {{'a', 0xED, 0xA0, 0x80}, u"a\uFFFD\uFFFD\uFFFD"},             // a surrogate written as UTF-8
        {{'a', 0xF4, 0x90, 0x80, 0x80}, u"a\uFFFD\uFFFD\uFFFD\uFFFD"}, // beyond U+10FFFF
        {{'a', 0xF5, 'b'}, u"a\uFFFDb"},                               //
        {{'a', 0xFE, 0xFF}, u"a\uFFFD\uFFFD"},                         //
        {{'a', 0xF0, 0x9F, 0x98}, u"a\uFFFD\uFFFD\uFFFD"},             // cut short by the end of the file
        {{'a', 0xF0, 0x9F, 0x98, '\n', 'b'}, u"a\uFFFD\uFFFD\uFFFD\nb"}, // cut short by a line end
        {{0xEF, 0xBB, 0xBF, 0xFF}, u"\uFEFF\uFFFD"},                     //
        {{0xEF, 0xBB}, u"\uFFFD\uFFFD"},                                 // half a mark
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(allUnits(bytes), expected) << bytes.size() << " bytes";
}

TEST(ProgramFileReaderTest, TinyFilesAndCharactersAcrossTheReadBuffer) {
    EXPECT_TRUE(pieces({}).empty()) << "an empty file has no line";
    EXPECT_EQ(pieces({'A'}), (std::vector<std::u16string>{u"A"})) << "one byte is a UTF-8 character";
    EXPECT_EQ(pieces({0xE3}), (std::vector<std::u16string>{u"\uFFFD"}));
    EXPECT_EQ(pieces({'\n'}), (std::vector<std::u16string>{u"\n"}));
    EXPECT_EQ(pieces({0xFF, 0xFE}), (std::vector<std::u16string>{u"\uFEFF"})) << "the UTF-16 mark alone";
    EXPECT_EQ(pieces({0xFF, 0xFE, 0x41}), (std::vector<std::u16string>{u"\uFEFF"}))
        << "an odd last byte is no unit";
    EXPECT_EQ(pieces({0xEF, 0xBB, 0xBF}), (std::vector<std::u16string>{u"\uFEFF"})) << "the UTF-8 mark alone";

    // Files larger than the reader's buffer, with every kind of character standing across its boundaries.
    std::u16string text;
    const char16_t* line = u"10 ?\"\u00E9\u3042\U0001F600\":'x\r\n";
    while (text.size() < 40000) text += line;
    for (std::size_t skew = 0; skew < 4; ++skew) {
        const std::u16string shifted = std::u16string(skew, u'z') + text;
        EXPECT_EQ(allUnits(utf8(shifted)), shifted) << "skew " << skew;
        EXPECT_EQ(allUnits(utf8(shifted, true)), u"\uFEFF" + shifted) << "skew " << skew;
    }
}

TEST_F(InterpreterTest, LoadMergeAndRunReadUtf8Programs) {
    TempDir dir;
    const std::u16string text =
        u"10 PRINT \"Gr\u00FC\u00DFe \u3053\u3093\u306B\u3061\u306F\";A\r\n20 A=1 'ok \u20AC\r\n";
    writeBytes(dir.path / "utf16.tk", utf16(text));
    session({u"load \"" + dir.name("utf16.tk") + u"\""});
    const Bytes expected = area();
    EXPECT_EQ(list(), u"10 print \"Gr\u00FC\u00DFe \u3053\u3093\u306B\u3061\u306F\";A\n20 A=1 'ok \u20AC\n");

    writeBytes(dir.path / "mark.tk", utf8(text, true));
    writeBytes(dir.path / "plain.tk", utf8(text));
    writeBytes(dir.path / "lf.tk",
               utf8(u"10 PRINT \"Gr\u00FC\u00DFe \u3053\u3093\u306B\u3061\u306F\";A\n20 A=1 'ok \u20AC"));
    for (const char* file : {"mark.tk", "plain.tk", "lf.tk"}) {
        EXPECT_EQ(session({u"new", u"load \"" + dir.name(file) + u"\""}), u"OK\nOK\nOK\n") << file;
        EXPECT_EQ(area(), expected) << file;
    }

    EXPECT_EQ(session({u"run \"" + dir.name("plain.tk") + u"\""}),
              u"OK\nGr\u00FC\u00DFe \u3053\u3093\u306B\u3061\u306F0\nOK\n");

    writeBytes(dir.path / "edit.tk", utf8(u"20\n15 ?\"\u00E9\"\n", true));
    EXPECT_EQ(session({u"merge \"" + dir.name("edit.tk") + u"\""}), u"OK\nOK\n");
    EXPECT_EQ(list(), u"10 print \"Gr\u00FC\u00DFe \u3053\u3093\u306B\u3061\u306F\";A\n15 ?\"\u00E9\"\n");

    // What was read as UTF-8 is saved as UTF-16LE with its mark.
    EXPECT_EQ(session({u"save \"" + dir.name("out.tk") + u"\""}), u"OK\n");
    EXPECT_EQ(readBytes(dir.path / "out.tk"),
              utf16(u"10 print \"Gr\u00FC\u00DFe \u3053\u3093\u306B\u3061\u306F\";A\r\n15 ?\"\u00E9\"\r\n"));
}

TEST_F(InterpreterTest, BadUtf8BytesBecomeReplacementCharactersNotFailures) {
    TempDir dir;
    // In a string the replacement character is printed; outside one the line is a syntax error and skipped.
    writeBytes(dir.path / "bad.tk", utf8(u"10 ?\"a") + Bytes{0xFF, 0xC3} + utf8(u"b\"\r\n20 A=1") +
                                        Bytes{0x80} + utf8(u"\r\n30 ?\"end\"\r\n"));
    EXPECT_EQ(session({u"run \"" + dir.name("bad.tk") + u"\""}),
              u"OK\nSyntax Error in 0\n20 A=1\uFFFD\na\uFFFD\uFFFDb\nend\nOK\n");
    EXPECT_EQ(list(), u"10 ?\"a\uFFFD\uFFFDb\"\n30 ?\"end\"\n");

    // A file of one byte is UTF-8 text: a line of one character, here a direct command that prints a line.
    writeBytes(dir.path / "one.tk", Bytes{'?'});
    EXPECT_EQ(session({u"load \"" + dir.name("one.tk") + u"\""}), u"OK\n\nOK\n");
    writeBytes(dir.path / "empty.tk", Bytes{});
    EXPECT_EQ(session({u"load \"" + dir.name("empty.tk") + u"\""}), u"OK\nOK\n");
    EXPECT_EQ(list(), u"");
}

} // namespace
} // namespace tavik::test
