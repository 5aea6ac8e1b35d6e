// The terminal's key decoder on arbitrary bytes, fed in pieces whose sizes the input chooses. Whatever a
// terminal (or a line noise) sends, the decoder must end every wait when it is told the wait is over, keep
// nothing back but an unfinished paste, and hand out only well-formed UTF-16: no lone half of a pair.
#include "key_decoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

using namespace tavik;

namespace {

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "broken invariant: %s\n", what);
    std::abort();
}

void checkUnits(const std::u16string& units) {
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF) {
            require(i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF,
                    "a high surrogate without its partner");
            ++i;
        } else {
            require(u < 0xDC00 || u > 0xDFFF, "a low surrogate without its partner");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte chooses the piece size; a piece of 0 means "the wait is over" after every piece.
    const std::size_t piece = data[0] % 17;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    KeyDecoder decoder;
    std::vector<TerminalKey> keys;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t n = piece == 0 ? 1 : std::min(piece, bytes.size() - at);
        decoder.feed(bytes.substr(at, n), keys);
        at += n;
        if (piece == 0) decoder.expire(keys);
    }
    decoder.expire(keys);
    require(!decoder.waitingForMore(), "still waiting after the wait was over");
    for (const TerminalKey& key : keys) {
        checkUnits(key.units);
        require(key.virtualKey >= 0 && key.virtualKey <= 0xFF, "a key code outside 0..255");
        require(key.kind == TerminalKey::Kind::Paste || key.units.size() <= 2,
                "one key typed more than a character");
    }
    return 0;
}
