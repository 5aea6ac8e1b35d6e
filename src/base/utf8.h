#pragma once
// The one UTF-8 decoder and encoder of the system: program files, file names, the consoles' streams. A byte
// that does not belong to a well-formed character (a stray continuation byte, a lead byte whose sequence is
// cut short, too long a form, a surrogate, a code point beyond U+10FFFF) reads as U+FFFD by itself, and
// decoding goes on with the next byte.
#include <cstddef>
#include <string>
#include <string_view>

namespace tavik {

constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;
// The longest character in UTF-8: a reader with more bytes to come offers at least this many.
constexpr std::size_t UTF8_MAX_BYTES = 4;

struct Utf8Char {
    char32_t codePoint;
    std::size_t length; // bytes taken, 1 to 4
};

// The character at the start of the size (at least 1) bytes at s. A sequence cut short by the end of them
// reads as U+FFFD of one byte.
Utf8Char decodeUtf8(const unsigned char* s, std::size_t size);
// How many bytes a character that begins with lead takes when it is well formed: 1 for ASCII and for a byte
// that begins no character. A reader that must not wait for bytes beyond the character (a keyboard) waits
// for no more than this.
std::size_t utf8Length(unsigned char lead);
// A code point (not a surrogate) appended as UTF-8.
void appendUtf8(char32_t cp, std::string& out);
// A code point as UTF-16: one unit, or a surrogate pair beyond U+FFFF. Returns how many units.
int toUtf16(char32_t cp, char16_t out[2]);

std::u16string utf16FromUtf8(std::string_view text);
// An unpaired surrogate becomes U+FFFD.
std::string utf8FromUtf16(const char16_t* text, std::size_t count);

} // namespace tavik
