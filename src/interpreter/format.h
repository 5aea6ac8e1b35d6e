#pragma once
// The interpreter's one text formatter over UTF-16: %d (signed decimal), %x (lower-case hexadecimal,
// no leading zeros), %s (UTF-16 string), %c (one UTF-16 unit) and %% — the directives its texts use.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace tavik {

struct FormatArg {
    enum Kind { Int, Str, Char } kind;
    std::int32_t number = 0;
    const char16_t* text = nullptr;

    FormatArg(int v) : kind(Int), number(v) {}
    FormatArg(unsigned v) : kind(Int), number(static_cast<std::int32_t>(v)) {}
    FormatArg(const char16_t* s) : kind(Str), text(s) {}
    FormatArg(char16_t c) : kind(Char), number(c) {}
};

// Formats into out (capacity units including the terminator), truncating; returns the units written.
std::size_t formatText(char16_t* out, std::size_t capacity, const char16_t* format,
                       std::initializer_list<FormatArg> args);

// Length of a 0-terminated UTF-16 string.
std::size_t textLength(const char16_t* s);

} // namespace tavik
