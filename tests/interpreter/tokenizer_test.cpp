// The byte form of a line: layouts of the documented lines, the keyword rules, the alignment invariant.
#include "interpreter_fixture.h"

#include <random>

namespace tavik::test {
namespace {

struct Layout {
    std::u16string source;
    Bytes bytes;
};

class TokenLayout : public InterpreterTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(TokenLayout, IsExact) {
    const auto got = tokens(GetParam().source);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TokenLayout,
    ::testing::Values(
        Layout{u"10 PRINT \"Hi\";A",
               {0xFF, 0x01, 0x0A, 0x00, 0x20, 0x81, 0x20, 0x03, 0x48, 0x00, 0x69, 0x00, 0x00, 0x00, 0x3B,
                0x41, 0xFF, 0x0D}},
        Layout{
            u"?0x1F:'ok",
            {0x3F, 0x02, 0x1F, 0x00, 0x3A, 0x27, 0xFF, 0x04, 0x6F, 0x00, 0x6B, 0x00, 0x00, 0x00, 0xFF, 0x0D}},
        Layout{
            u"FOR I=1 TO 10",
            {0x87, 0x20, 0x49, 0x3D, 0xFF, 0x01, 0x01, 0x00, 0x20, 0xF2, 0x20, 0x01, 0x0A, 0x00, 0xFF, 0x0D}},
        Layout{u"10", {0xFF, 0x01, 0x0A, 0x00, 0xFF, 0x0D}}, Layout{u"", {0xFF, 0x0D}},
        Layout{u"B THEN", {0x42, 0x20, 0xF0, 0x0D}},
        Layout{u"FORI=1TO9", {0x87, 0x49, 0x3D, 0x01, 0x01, 0x00, 0xF2, 0x01, 0x09, 0x00, 0xFF, 0x0D}},
        Layout{u"remark", {0x8B, 0x04, 0x61, 0x00, 0x72, 0x00, 0x6B, 0x00, 0x00, 0x00, 0xFF, 0x0D}},
        Layout{u"Rem", {0x8B, 0x04, 0x00, 0x00, 0xFF, 0x0D}}, Layout{u"ORX", {0xB1, 0x58, 0xFF, 0x0D}},
        Layout{u"orient", {0x9A, 0x0D}}, Layout{u"troff", {0x99, 0x0D}},
        Layout{u"printA", {0x81, 0x41, 0xFF, 0x0D}}, Layout{u"32767", {0xFF, 0x01, 0xFF, 0x7F, 0xFF, 0x0D}},
        Layout{u"0x10000", {0xFF, 0x02, 0x00, 0x00, 0xFF, 0x0D}},
        Layout{u"0xFFFF", {0xFF, 0x02, 0xFF, 0xFF, 0xFF, 0x0D}},
        Layout{u"0x", {0xFF, 0x02, 0x00, 0x00, 0xFF, 0x0D}},
        Layout{u"0X1F", {0xFF, 0x01, 0x00, 0x00, 0x58, 0x01, 0x01, 0x00, 0x46, 0x0D}},
        Layout{u"A\"\"", {0x41, 0x03, 0x00, 0x00, 0xFF, 0x0D}},
        Layout{u"\"\"", {0xFF, 0x03, 0x00, 0x00, 0xFF, 0x0D}}, Layout{u"A\rB", {0x41, 0x0D}},
        Layout{u"A\nB", {0x41, 0x0D}},
        Layout{u"A\x0003"
               u"B",
               {0x41, 0x0D}},
        Layout{u" 10 PRINT", {0x20, 0x01, 0x0A, 0x00, 0x20, 0x81, 0xFF, 0x0D}},
        Layout{u"\uFEFF10 CLS", {0xFF, 0x01, 0x0A, 0x00, 0x20, 0x83, 0xFF, 0x0D}},
        Layout{u"10 CLS", {0xFF, 0x01, 0x0A, 0x00, 0x20, 0x83, 0xFF, 0x0D}},
        Layout{u"A\tB", {0x41, 0x09, 0x42, 0x0D}},
        // A remark keeps control characters and stops only at CR.
        Layout{
            u"'\t\n\x0003\x0001x\ry",
            {0x27, 0x04, 0x09, 0x00, 0x0A, 0x00, 0x03, 0x00, 0x01, 0x00, 0x78, 0x00, 0x00, 0x00, 0xFF, 0x0D}},
        // Full-width forms and the ideographic space read as ASCII, but stay as typed in strings and remarks.
        Layout{u"\uFF30\uFF32\uFF29\uFF2E\uFF34\u3000\uFF11\uFF0B\uFF41",
               {0x81, 0x20, 0xFF, 0x01, 0x01, 0x00, 0x2B, 0x61, 0xFF, 0x0D}},
        Layout{u"\uFF10\uFF58\uFF46", {0xFF, 0x02, 0x0F, 0x00, 0xFF, 0x0D}},
        Layout{
            u"?\"\uFF21\u00E9\"'\uFF21",
            {0x3F, 0x03, 0x21, 0xFF, 0xE9, 0x00, 0x00, 0x00, 0x27, 0x04, 0x21, 0xFF, 0x00, 0x00, 0xFF, 0x0D}},
        Layout{u"?\uFF02hi\uFF02\"",
               {0x3F, 0x03, 0x68, 0x00, 0x69, 0x00, 0x02, 0xFF, 0x00, 0x00, 0xFF, 0x0D}}));

// Every keyword of the one list: read in any case as its own code, and named back by the lister.
TEST_F(InterpreterTest, EveryKeywordReadsAsItsCodeAndListsBack) {
    for (const auto& k : keyword_checks::AllKeywords) {
        std::u16string lower(k.spelling), upper;
        for (char16_t c : lower) upper += static_cast<char16_t>(c - 32);
        for (const std::u16string& source : {lower, upper}) {
            const auto got = tokens(source + u" ");
            ASSERT_TRUE(got.has_value()) << std::string(lower.begin(), lower.end());
            EXPECT_EQ((*got)[0], k.code) << std::string(lower.begin(), lower.end());
        }
        EXPECT_EQ(std::u16string(keywordName(static_cast<std::uint8_t>(k.code))), lower);
    }
    EXPECT_EQ(keywordName(LAST_STATEMENT_TOKEN + 1), nullptr);
}

TEST_F(InterpreterTest, SyntaxErrorsOfTheTokenizer) {
    for (const std::u16string bad :
         {u"BTHEN", u"hi", u"ab", u"printer", u"32768", u"70000", u"?\"abc", u"A\x0001", u"A\x001F",
          u"A\u00E9", u"A\u0100", u"A\u010D", u"A\u0D0D", u"A\uFF5F", u"zz", u"A\u00A0"})
        EXPECT_FALSE(tokens(bad).has_value()) << std::string(bad.begin(), bad.end());
}

TEST_F(InterpreterTest, TokenizerReportsThroughTheDirectLoopUnlessQuiet) {
    std::copy_n(u"PRINT hi", 9, peer.sourceLine);
    peer.currentLineNumber = 7;
    EXPECT_FALSE(peer.tokenizeSource(true));
    EXPECT_EQ(peer.errorFlag, 0);
    EXPECT_EQ(view.transcript, u"");
    EXPECT_FALSE(peer.tokenizeSource(false));
    EXPECT_EQ(peer.errorFlag, 1);
    EXPECT_EQ(peer.runRequest, RunRequest::Stop);
    EXPECT_EQ(view.transcript, u"Syntax Error in 7\nPRINT hi\n");
    EXPECT_EQ(view.count("beep"), 1);
}

// Walks a TokenLine element by element, checking every structural byte's place and that nothing else
// looks structural.
void expectWellFormed(const Bytes& line, const std::u16string& source) {
    ASSERT_EQ(line.size() % 2, 0u);
    std::size_t i = 0;
    while (line[i] != TOK_END) {
        const std::uint8_t b = line[i];
        ASSERT_FALSE(b == 0x00 || (b >= 0x05 && b < 0x20 && b != 0x09)) << "stray byte";
        if (b >= TOK_DECIMAL && b <= TOK_REMARK) {
            ASSERT_EQ(i % 2, 1u) << "type byte at " << i;
        }
        i = static_cast<std::size_t>(skipElement(line.data() + i) - line.data());
        ASSERT_LT(i, line.size());
    }
    EXPECT_EQ(i, line.size() - 1) << std::string(source.begin(), source.end());
    EXPECT_EQ(i % 2, 1u);
}

TEST_F(InterpreterTest, AlignmentHoldsOnGeneratedLines) {
    const std::u16string pieces[] = {u" ", u"A",  u"ab", u"12",    u"0x1f", u"\"x\"",  u"\"\"", u":", u"+",
                                     u"?", u"10", u"@(", u"print", u"\t",   u"\uFEFF", u"(",    u"-", u"7"};
    std::mt19937 random(1234);
    for (int n = 0; n < 2000; ++n) {
        std::u16string source;
        const int count = 1 + static_cast<int>(random() % 12);
        for (int k = 0; k < count; ++k) source += pieces[random() % std::size(pieces)];
        if (random() % 4 == 0) source += u"'rem\uFF21";
        const auto line = tokens(source);
        if (line) expectWellFormed(*line, source);
    }
}

TEST_F(InterpreterTest, SkipToLineEndStepsOverPayloadsThatLookLikeTheEnd) {
    // 13 as a literal, 0x0D0D as hex, a string and a remark whose units hold 0x0D bytes.
    const auto line = tokens(u"?13 0xd0d \"\u0D0D\x000D\u0D00\"'\u0D0D");
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(skipToLineEnd(line->data()), line->data() + line->size() - 1);
    expectWellFormed(*line, u"");
}

TEST_F(InterpreterTest, LongestLinesFitTheBuffer) {
    const std::u16string quoted = u"?\"" + std::u16string(252, u'x') + u"\"";
    const std::u16string remark = u"10 '" + std::u16string(251, u'x');
    std::u16string numbers, empties;
    while (numbers.size() < 252) numbers += u"1++";
    while (empties.size() < 254) empties += u"\"\"";
    for (const auto& source : {quoted, remark, numbers, empties}) {
        const auto line = tokens(source);
        ASSERT_TRUE(line.has_value());
        EXPECT_LE(line->size(), static_cast<std::size_t>(LINE_BUFFER_BYTES));
        expectWellFormed(*line, source);
    }
}

} // namespace
} // namespace tavik::test
