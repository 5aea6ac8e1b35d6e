#pragma once
// Keys as the terminal's decoder hands them out, for the tests to compare and to press.
#include "key_decoder.h"

#include <string>

namespace tavik::test {

inline TerminalKey makeKey(int vk, std::u16string units = u"", unsigned modifiers = 0) {
    TerminalKey k;
    k.virtualKey = vk;
    k.units = std::move(units);
    k.modifiers = modifiers;
    return k;
}

} // namespace tavik::test
