// Inputs with which the fuzzers (fuzz/) broke an invariant, each kept here as a case before it was fixed.
#include "interpreter_fixture.h"

namespace tavik::test {
namespace {

class FuzzRegression : public InterpreterTest {
  protected:
    static std::u16string repeated(const std::u16string& piece, int times) {
        std::u16string out;
        for (int i = 0; i < times; ++i) out += piece;
        return out;
    }

    // Enters the program line, lists it and tokenises the listed text again: the stored bytes come back.
    void expectListsBack(const std::u16string& source) {
        const auto typed = tokens(source);
        ASSERT_TRUE(typed.has_value()) << "does not tokenise";
        enter(source);
        const std::uint16_t number = load16(typed->data() + 2);
        view.forget();
        peer.listLines(nullptr, number, number);
        std::u16string listed = view.transcript;
        ASSERT_FALSE(listed.empty());
        listed.pop_back(); // the line's LF
        const auto again = tokens(listed);
        ASSERT_TRUE(again.has_value()) << "listing does not tokenise";
        EXPECT_EQ(*again, *typed);
    }
};

TEST_F(FuzzRegression, AByteOrderMarkVanishesWhereverItStandsOutsideText) {
    // The mark is a filler wherever it stands outside a string or remark: the line runs and lists as if it
    // were not there. Its filler is the one byte a listing does not give back, so such a line re-tokenises
    // to the bytes of the line without the mark (found by tokenizer_fuzz: "1 \uFEFFT").
    EXPECT_EQ(session({u"10 A=1\uFEFF+1", u"list", u"print 1\uFEFF+2"}), u"OK\n10 A=1+1\n3\n");
    EXPECT_EQ(tokens(u"\uFEFF10 CLS"), tokens(u"10 CLS"));
    expectListsBack(u"\uFEFF10 CLS");
    expectListsBack(u"20 ?\"\uFEFF\":'\uFEFF");
    for (const std::u16string source :
         {u"1 \uFEFFT", u"A\uFEFFB", u"1\uFEFF2", u"?\uFEFF1", u"\uFEFF\uFEFF10"}) {
        const auto bytes = tokens(source);
        ASSERT_TRUE(bytes.has_value()) << std::string(source.begin(), source.end());
        EXPECT_EQ(bytes->size() % 2, 0u) << "the line keeps its even length";
        EXPECT_EQ(bytes->back(), TOK_END);
    }
}

TEST_F(FuzzRegression, AZeroBeforeAnXListsSoThatItStaysADecimal) {
    // "00x" is the decimal 0 and the variable x; listed as "0x" it came back as a hexadecimal literal
    // (found by tokenizer_fuzz: "3;00\uFF58").
    expectListsBack(u"1 3;00\uFF58");
    expectListsBack(u"2 A=00x");
    expectListsBack(u"3 A=00XOR 1");
    expectListsBack(u"4 A=0 xor 1:B=10x:C=0x0");
    EXPECT_EQ(list(), u"1 3;00x\n2 A=00x\n3 A=00xor 1\n4 A=0 xor 1:B=10x:C=0x0\n");
}

TEST_F(FuzzRegression, ALineOfBareHexPrefixesStillFitsOneFileLine) {
    // Each bare "0x" lists as "0x0": a full 255-unit line of them listed longer than a program file's line
    // and came back from SAVE and LOAD cut in two (found by tokenizer_fuzz).
    std::u16string line = u"1 ?";
    while (line.size() + 3 <= 255) line += u"0x+";
    ASSERT_EQ(line.size(), 255u);
    expectListsBack(line);
    enter(u"2 A=0x:B=0x0");
    EXPECT_EQ(exec(u"list 2"), u"2 A=0x0:B=0x0\n") << "a line that fits keeps the usual form";
    std::u16string listed = exec(u"list 1");
    listed.pop_back();
    EXPECT_LE(listed.size(), 255u);

    // Likewise "0XOR" typed, listed "00xor" (found by tokenizer_fuzz: a full line with three of them).
    std::u16string xors = u"3 ?";
    while (xors.size() + 10 <= 255) xors += u"0XOR1+";
    xors += u"0XOR";
    ASSERT_LE(xors.size(), 255u);
    expectListsBack(xors);
    listed = exec(u"list 3");
    listed.pop_back();
    EXPECT_LE(listed.size(), 255u);
    TempDir dir;
    const Bytes before = area();
    session({u"save \"" + dir.name("hex.tk") + u"\"", u"new", u"load \"" + dir.name("hex.tk") + u"\""});
    EXPECT_EQ(area(), before);
}

TEST_F(FuzzRegression, AFullFirstLineComesBackWholeBehindTheMark) {
    // The mark opening a file stood in the first piece of 255 units, so a first line of 255 units came back
    // cut, its last unit read as a line of its own (found with the case above).
    TempDir dir;
    for (const std::u16string& first :
         {u"1 '" + std::u16string(252, u'r'), u"1 ?\"" + std::u16string(250, u's') + u"\"",
          u"1 ?" + repeated(u"1+", 126)}) {
        ASSERT_EQ(first.size(), 255u);
        session({u"new"});
        enter(first);
        enter(u"2 ?2");
        const Bytes before = area();
        const std::u16string file = u"\"" + dir.name("first.tk") + u"\"";
        EXPECT_EQ(session({u"save " + file, u"new", u"load " + file}), u"OK\nOK\nOK\n");
        EXPECT_EQ(area(), before);
    }
    // A first line that is longer still is read in pieces as before.
    writeBytes(dir.path / "long.tk", utf16(u"1 '" + std::u16string(260, u'x') + u"\r\n"));
    EXPECT_EQ(session({u"load \"" + dir.name("long.tk") + u"\""}), u"OK\nSyntax Error in 0\nxxxxxxxx\nOK\n");
    EXPECT_EQ(list(), u"1 '" + std::u16string(252, u'x') + u"\n");
}

} // namespace
} // namespace tavik::test
