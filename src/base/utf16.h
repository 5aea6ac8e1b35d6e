#pragma once
// UTF-16 text, the system's own: the halves of a surrogate pair and the code point they make. A lone half
// is kept in the cells and the program as it is; only what goes out (UTF-8, a glyph) has to treat it.
#include <cstdint>

namespace tavik {

constexpr bool isHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool isLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
// Either half: a unit that is no character by itself.
constexpr bool isSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
}
// The code point of a high and a low half.
constexpr char32_t combineSurrogates(char32_t high, char32_t low) {
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

} // namespace tavik
