// The terminal's key decoder: the sequences of the common terminals give the keys the window gives, a lone
// Esc is told from a sequence only by the wait, and nothing a terminal sends is lost or makes it hang.
#include "key_decoder.h"
#include "terminal_keys.h"
#include "virtual_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavik::test {
namespace {

std::vector<TerminalKey> decode(KeyDecoder& decoder, std::string_view bytes) {
    std::vector<TerminalKey> keys;
    decoder.feed(bytes, keys);
    return keys;
}

std::vector<TerminalKey> decodeAll(std::string_view bytes) {
    KeyDecoder decoder;
    std::vector<TerminalKey> keys = decode(decoder, bytes);
    decoder.expire(keys);
    return keys;
}

TerminalKey key(int vk, std::u16string units = u"", unsigned modifiers = 0) {
    return makeKey(vk, std::move(units), modifiers);
}

std::string describe(const std::vector<TerminalKey>& keys) {
    std::string text;
    for (const TerminalKey& k : keys) {
        // Appended piece by piece: GCC 12 warns falsely on a chain of + at -O3.
        text += "[vk ";
        text += std::to_string(k.virtualKey);
        text += " mods ";
        text += std::to_string(k.modifiers);
        text += " units";
        for (const char16_t u : k.units) {
            text += ' ';
            text += std::to_string(static_cast<int>(u));
        }
        if (k.kind == TerminalKey::Kind::Press) {
            text += " press ";
            text += std::to_string(k.column);
            text += ',';
            text += std::to_string(k.row);
        }
        text += k.kind == TerminalKey::Kind::Paste ? " paste]" : "]";
    }
    return text;
}

TEST(KeyDecoder, EscapeSequencesOfTheCommonTerminalsGiveTheWindowsKeys) {
    const struct {
        const char* bytes;
        TerminalKey expected;
    } table[] = {
        // Cursor keys, normal and application mode.
        {"\x1B[A", key(VK_UP)},
        {"\x1B[B", key(VK_DOWN)},
        {"\x1B[C", key(VK_RIGHT)},
        {"\x1B[D", key(VK_LEFT)},
        {"\x1BOA", key(VK_UP)},
        {"\x1BOD", key(VK_LEFT)},
        // Home and End as xterm, VT220, rxvt and the Linux console send them.
        {"\x1B[H", key(VK_HOME)},
        {"\x1B[F", key(VK_END)},
        {"\x1BOH", key(VK_HOME)},
        {"\x1BOF", key(VK_END)},
        {"\x1B[1~", key(VK_HOME)},
        {"\x1B[4~", key(VK_END)},
        {"\x1B[7~", key(VK_HOME)},
        {"\x1B[8~", key(VK_END)},
        {"\x1B[2~", key(VK_INSERT)},
        {"\x1B[3~", key(VK_DELETE)},
        {"\x1B[5~", key(0x21)},
        {"\x1B[6~", key(0x22)},
        // Function keys: SS3 for F1-F4, numbers for the rest, the Linux console's own F1-F5.
        {"\x1BOP", key(0x70)},
        {"\x1BOS", key(0x73)},
        {"\x1B[11~", key(0x70)},
        {"\x1B[15~", key(0x74)},
        {"\x1B[17~", key(0x75)},
        {"\x1B[21~", key(0x79)},
        {"\x1B[23~", key(0x7A)},
        {"\x1B[24~", key(0x7B)},
        {"\x1B[[A", key(0x70)},
        {"\x1B[[E", key(0x74)},
        // Modifiers as xterm reports them.
        {"\x1B[1;5A", key(VK_UP, u"", MOD_CONTROL)},
        {"\x1B[1;2D", key(VK_LEFT, u"", MOD_SHIFT)},
        {"\x1B[3;3~", key(VK_DELETE, u"", MOD_ALT)},
        {"\x1B[1;2P", key(0x70, u"", MOD_SHIFT)},
        {"\x1B[Z", key(VK_TAB, u"\t", MOD_SHIFT)},
        // The keypad in application mode types its characters.
        {"\x1BOM", key(VK_RETURN, u"\r")},
        {"\x1BOp", key(0x60, u"0")},
        {"\x1BOk", key(0x6B, u"+")},
    };
    for (const auto& row : table) {
        const std::vector<TerminalKey> keys = decodeAll(row.bytes);
        EXPECT_EQ(describe(keys), describe({row.expected})) << "sequence ESC" << (row.bytes + 1);
    }
}

TEST(KeyDecoder, TypedTextAndControlCodesGiveCharactersAndKeyCodes) {
    EXPECT_EQ(describe(decodeAll("a")), describe({key('A', u"a")}));
    EXPECT_EQ(describe(decodeAll("Z")), describe({key('Z', u"Z", MOD_SHIFT)}));
    EXPECT_EQ(describe(decodeAll("7")), describe({key('7', u"7")}));
    // A shifted symbol takes the code of its key on a US keyboard.
    EXPECT_EQ(describe(decodeAll("!")), describe({key('1', u"!", MOD_SHIFT)}));
    EXPECT_EQ(describe(decodeAll("\"")), describe({key(0xDE, u"\"", MOD_SHIFT)}));
    EXPECT_EQ(describe(decodeAll("-")), describe({key(0xBD, u"-")}));
    EXPECT_EQ(describe(decodeAll(" ")), describe({key(VK_SPACE, u" ")}));
    // Enter, Backspace (both codes terminals send), Tab.
    EXPECT_EQ(describe(decodeAll("\r")), describe({key(VK_RETURN, u"\r")}));
    EXPECT_EQ(describe(decodeAll("\x7F")), describe({key(VK_BACK, u"\b")}));
    EXPECT_EQ(describe(decodeAll("\b")), describe({key(VK_BACK, u"\b")}));
    EXPECT_EQ(describe(decodeAll("\t")), describe({key(VK_TAB, u"\t")}));
    // Ctrl with a letter types letter - 'A' + 1, the key code being the letter's.
    EXPECT_EQ(describe(decodeAll("\x01")), describe({key('A', u"\x01", MOD_CONTROL)}));
    EXPECT_EQ(describe(decodeAll("\x03")), describe({key('C', u"\x03", MOD_CONTROL)}));
    EXPECT_EQ(describe(decodeAll("\n")), describe({key('J', u"\n", MOD_CONTROL)}));
    // Text beyond ASCII: no key code; a character outside the BMP is a surrogate pair.
    EXPECT_EQ(describe(decodeAll("\xE3\x81\x82")), describe({key(0, u"\u3042")}));
    EXPECT_EQ(describe(decodeAll("\xF0\x9F\x98\x80")), describe({key(0, u"\U0001F600")}));
    // Bytes that are not UTF-8 each read as U+FFFD, and what follows them is kept.
    EXPECT_EQ(describe(decodeAll("\xFFx")), describe({key(0, u"\uFFFD"), key('X', u"x")}));
    EXPECT_EQ(describe(decodeAll("\xE3\x81y")),
              describe({key(0, u"\uFFFD"), key(0, u"\uFFFD"), key('Y', u"y")}));
}

TEST(KeyDecoder, ACharacterOrSequenceSplitAcrossReadsWaitsForItsRest) {
    KeyDecoder decoder;
    EXPECT_TRUE(decode(decoder, "\xE3").empty());
    EXPECT_TRUE(decode(decoder, "\x81").empty());
    EXPECT_EQ(describe(decode(decoder, "\x82")), describe({key(0, u"\u3042")}));

    EXPECT_TRUE(decode(decoder, "\x1B").empty());
    EXPECT_TRUE(decoder.waitingForMore());
    EXPECT_TRUE(decode(decoder, "[1;").empty());
    EXPECT_EQ(describe(decode(decoder, "5C")), describe({key(VK_RIGHT, u"", MOD_CONTROL)}));
    EXPECT_FALSE(decoder.waitingForMore());
}

TEST(KeyDecoder, EscIsToldApartFromSequencesAndAltByTheWait) {
    KeyDecoder decoder;
    // A lone Esc is only known when the wait is over.
    EXPECT_TRUE(decode(decoder, "\x1B").empty());
    EXPECT_TRUE(decoder.waitingForMore());
    std::vector<TerminalKey> keys;
    decoder.expire(keys);
    EXPECT_EQ(describe(keys), describe({key(VK_ESCAPE, u"\x1B")}));
    EXPECT_FALSE(decoder.waitingForMore());

    // Esc and a key together: Alt held with that key, which then types nothing (as in the window).
    EXPECT_EQ(describe(decodeAll("\x1Bm")), describe({key('M', u"", MOD_ALT)}));
    EXPECT_EQ(describe(decodeAll("\x1BM")), describe({key('M', u"", MOD_ALT | MOD_SHIFT)}));
    // Two Escs: the first is a key of its own.
    EXPECT_EQ(describe(decodeAll("\x1B\x1B")), describe({key(VK_ESCAPE, u"\x1B"), key(VK_ESCAPE, u"\x1B")}));
    // An Esc typed just before [ and the wait ends: nothing is lost.
    EXPECT_EQ(describe(decodeAll("\x1B[")), describe({key(VK_ESCAPE, u"\x1B"), key(0xDB, u"[")}));
    // Sequences the console has no key for are swallowed whole, not typed.
    EXPECT_EQ(describe(decodeAll("\x1B[?1;2c\x1B[99~\x1B[5;1yx")), describe({key('X', u"x")}));
    // A sequence that never ends is dropped at a length no terminal sends, and typing goes on.
    std::string endless = "\x1B[";
    endless.append(200, '1');
    KeyDecoder junk;
    EXPECT_TRUE(decode(junk, endless).empty());
    EXPECT_EQ(describe(decode(junk, "q")), describe({key('Q', u"q")}));
}

TEST(KeyDecoder, MouseReportsGivePressesOfThePrimaryButtonOnly) {
    TerminalKey press;
    press.kind = TerminalKey::Kind::Press;
    press.column = 40;
    press.row = 7;
    // Pressed and released at column 41, row 8 (counted from 1); with Shift or Ctrl held it still counts.
    EXPECT_EQ(describe(decodeAll("\x1B[<0;41;8M\x1B[<0;41;8m")), describe({press}));
    EXPECT_EQ(describe(decodeAll("\x1B[<4;41;8M\x1B[<16;41;8M")), describe({press, press}));
    // The other buttons, a drag, the wheel and a report cut short give nothing, and typing goes on.
    EXPECT_EQ(describe(decodeAll("\x1B[<2;41;8M\x1B[<1;1;1M\x1B[<32;41;8M\x1B[<64;41;8M\x1B[<0;41Mq")),
              describe({key('Q', u"q")}));
    // Split across two reads, as a remote terminal may send it.
    KeyDecoder decoder;
    EXPECT_TRUE(decode(decoder, "\x1B[<0;4").empty());
    press.column = 40;
    EXPECT_EQ(describe(decode(decoder, "1;8M")), describe({press}));
}

TEST(KeyDecoder, BracketedPasteArrivesAsOneTextWhateverItHolds) {
    KeyDecoder decoder;
    std::vector<TerminalKey> keys = decode(decoder, "a\x1B[200~10 print \"\xE3\x81\x82\"\r\n\x1B[A\t");
    EXPECT_EQ(describe(keys), describe({key('A', u"a")}));
    // The end marker split across reads is still found; an Esc inside the paste is text, not a key.
    EXPECT_FALSE(decoder.waitingForMore());
    keys = decode(decoder, "20 end\x1B[20");
    EXPECT_TRUE(keys.empty());
    keys = decode(decoder, "1~b");
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].kind, TerminalKey::Kind::Paste);
    EXPECT_EQ(keys[0].units, u"10 print \"\u3042\"\r\n\x1B[A\t20 end");
    EXPECT_EQ(describe({keys[1]}), describe({key('B', u"b")}));
}

} // namespace
} // namespace tavik::test
