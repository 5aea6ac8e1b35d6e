#include "batch_view.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace tavik {
namespace {

std::string transcriptOf(const std::u16string& units) {
    std::ostringstream out;
    {
        BatchView view(out);
        for (char16_t c : units) view.transcriptChar(c);
    }
    return out.str();
}

TEST(BatchView, VirtualScreenHasSquareCellsAndWholeClientArea) {
    std::ostringstream out;
    BatchView view(out);
    EXPECT_EQ(view.screenWidth(), 480);
    EXPECT_EQ(view.screenHeight(), 640);
    EXPECT_EQ(view.clientRect(), (PixelRect{0, 0, 480, 640}));
    const CellSize cell = view.measureFont(16);
    EXPECT_EQ(cell.width, 16);
    EXPECT_EQ(cell.height, 16);

    BatchView other(out, 1024, 768);
    EXPECT_EQ(other.clientRect(), (PixelRect{0, 0, 1024, 768}));
    other.setScreenSize(768, 1024);
    EXPECT_EQ(other.screenWidth(), 768);
    EXPECT_EQ(other.clientRect(), (PixelRect{0, 0, 768, 1024}));
}

TEST(BatchView, CharactersBecomeUtf8) {
    EXPECT_EQ(transcriptOf(u"A~"), "A~");
    EXPECT_EQ(transcriptOf(u"\u00E9"), "\xC3\xA9");
    EXPECT_EQ(transcriptOf(u"\u30BF\u30D3\u30AF"), "\xE3\x82\xBF\xE3\x83\x93\xE3\x82\xAF");
    EXPECT_EQ(transcriptOf(u"\uFFFF"), "\xEF\xBF\xBF");
    EXPECT_EQ(transcriptOf(std::u16string(1, u'\0')), std::string(1, '\0'));
}

TEST(BatchView, SurrogatesPairAcrossCallsOrBecomeReplacementCharacters) {
    const std::string emoji = "\xF0\x9F\x98\x80"; // U+1F600
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ(transcriptOf(u"\xD83D\xDE00"), emoji);
    EXPECT_EQ(transcriptOf(u"a\xD83D\xDE00z"), "a" + emoji + "z");
    EXPECT_EQ(transcriptOf(u"\xDBFF\xDFFF"), "\xF4\x8F\xBF\xBF");
    EXPECT_EQ(transcriptOf(u"\xDE00"), fffd) << "a low surrogate alone";
    EXPECT_EQ(transcriptOf(u"\xD83Dx"), fffd + "x") << "a high surrogate followed by no partner";
    EXPECT_EQ(transcriptOf(u"\xD83D\xD83D\xDE00"), fffd + emoji) << "the second high one pairs";
    EXPECT_EQ(transcriptOf(u"\xDE00\xD83D"), fffd + fffd) << "wrong order; a high one at the end";

    // Anything but a character between the two halves breaks the pair.
    std::ostringstream out;
    {
        BatchView view(out);
        view.transcriptChar(0xD83D);
        view.transcriptNewLine();
        view.transcriptChar(0xDE00);
        view.transcriptChar(0xD83D);
        view.transcriptTab(0, 2);
        view.transcriptChar(0xD83D);
        view.transcriptBackspace();
    }
    EXPECT_EQ(out.str(), fffd + "\n" + fffd + fffd + "  " + fffd + "\b");

    // A flush (before waiting for input) keeps a pending half: its partner may be the next character.
    std::ostringstream split;
    BatchView view(split);
    view.transcriptChar(0xD83D);
    view.flush();
    EXPECT_EQ(split.str(), "");
    view.transcriptChar(0xDE00);
    view.flush();
    EXPECT_EQ(split.str(), emoji);
}

TEST(BatchView, LineEndsTabsAndBackspace) {
    std::ostringstream out;
    {
        BatchView view(out);
        view.transcriptChar(u'1');
        view.transcriptTab(1, 8);
        view.transcriptChar(u'2');
        view.transcriptTab(9, 9);
        view.transcriptTab(9, 3); // never backwards
        view.transcriptNewLine();
        view.transcriptChar(u'x');
        view.transcriptBackspace();
    }
    EXPECT_EQ(out.str(), "1       2\nx\b");
}

TEST(BatchView, MutedTranscriptWritesNothing) {
    std::ostringstream out;
    {
        BatchView view(out);
        view.transcriptChar(u'a');
        view.setTranscriptMuted(true);
        view.transcriptChar(u'b');
        view.transcriptNewLine();
        view.transcriptTab(0, 8);
        view.transcriptBackspace();
        view.setTranscriptMuted(false);
        view.transcriptChar(u'c');
    }
    EXPECT_EQ(out.str(), "ac");
}

TEST(BatchView, BuffersUntilFlushedAndKeepsEveryByteOfLongOutput) {
    std::ostringstream out;
    BatchView view(out);
    view.transcriptChar(u'a');
    view.transcriptNewLine();
    EXPECT_EQ(out.str(), "") << "small output waits in the buffer";
    view.flush();
    EXPECT_EQ(out.str(), "a\n");

    std::string expected = "a\n";
    for (int line = 0; line < 20000; ++line) {
        const std::u16string text =
            u"line " + std::u16string(1, static_cast<char16_t>(u'0' + line % 10)) + u"\u30BF";
        for (char16_t c : text) view.transcriptChar(c);
        view.transcriptNewLine();
        expected += "line " + std::string(1, static_cast<char>('0' + line % 10)) + "\xE3\x82\xBF\n";
    }
    EXPECT_GT(out.str().size(), 2u) << "a large buffer is written before the end";
    view.finish();
    EXPECT_EQ(out.str(), expected);
}

TEST(BatchView, TerminalOutputAppearsAtEachLineEnd) {
    std::ostringstream out;
    BatchView view(out);
    view.setFlushAtNewLine(true);
    view.transcriptChar(u'>');
    EXPECT_EQ(out.str(), "");
    view.transcriptNewLine();
    EXPECT_EQ(out.str(), ">\n");
}

} // namespace
} // namespace tavik
