#pragma once
// tokenizeLine turns one UTF-16 source line into a TokenLine; skipToLineEnd walks one to its end byte.
#include "tokens.h"

#include <cstdint>

namespace tavik {

constexpr int LINE_BUFFER_BYTES = 768;
constexpr int SOURCE_LINE_UNITS = 256;

// Writes the TokenLine of source (0-terminated) into out (even address, LINE_BUFFER_BYTES long).
// Returns false on a syntax error; out is then incomplete. Pure: reports nothing.
bool tokenizeLine(std::uint8_t* out, const char16_t* source);

// Little-endian 16-bit loads and stores at any address; the token format keeps them aligned.
inline std::uint16_t load16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline void store16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

// The position just past the element that starts at p (a literal, string, remark or single byte). Defined
// here, as skipToLineEnd, because a false IF walks the rest of its line with them.
inline const std::uint8_t* skipElement(const std::uint8_t* p) {
    const std::uint8_t b = *p++;
    if (b == TOK_DECIMAL || b == TOK_HEX) return p + 2;
    if (b == TOK_STRING || b == TOK_REMARK) {
        while (load16(p) != 0) p += 2;
        return p + 2;
    }
    return p;
}
inline std::uint8_t* skipElement(std::uint8_t* p) {
    return const_cast<std::uint8_t*>(skipElement(static_cast<const std::uint8_t*>(p)));
}

// The line's 0x0D, from an element boundary inside a TokenLine.
inline const std::uint8_t* skipToLineEnd(const std::uint8_t* p) {
    while (*p != TOK_END) p = skipElement(p);
    return p;
}
inline std::uint8_t* skipToLineEnd(std::uint8_t* p) {
    return const_cast<std::uint8_t*>(skipToLineEnd(static_cast<const std::uint8_t*>(p)));
}

} // namespace tavik
