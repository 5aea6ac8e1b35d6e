// The tokenizer on arbitrary UTF-16 text (the input's bytes, little-endian pairs). Whatever it accepts must
// be a well-formed TokenLine whose end skipToLineEnd finds from every element, and a program line stored and
// listed must tokenise back to the same bytes.
#include "fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <memory>

using namespace tavik;
using namespace tavik::fuzz;

namespace {

// Longer than any line the console or a file delivers, to try the tokenizer's own bound.
constexpr std::size_t MAX_UNITS = 1024;

// Stores the tokenised program line and checks the store and the listing; the store is emptied first.
void storeAndList(Machine& m, const std::uint8_t* tokens, bool fitsOneLine) {
    Interpreter& interp = m.interp;
    InterpreterPeer peer{interp};
    peer.program.clear();
    std::memcpy(peer.lineBuffer, tokens, LINE_BUFFER_BYTES);
    peer.errorFlag = 0;
    peer.storeLine();
    checkStore(interp);
    if (peer.errorFlag) return; // line 0, or an empty line deleting nothing
    checkListingRoundTrip(interp, fitsOneLine);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Machine machine;
    std::u16string source;
    for (std::size_t i = 0; i + 1 < size && source.size() < MAX_UNITS; i += 2)
        source.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    // A line feed inside a string or remark can only be typed in the window's editor (Ctrl+J); such a line
    // cannot be one line of a program file, so the file-line checks leave it out.
    const bool fitsOneLine = source.find(u'\n') == std::u16string::npos;

    // A heap buffer of the exact size, so that the address sanitizer sees a write past it.
    auto out = std::make_unique<std::uint8_t[]>(LINE_BUFFER_BYTES);
    if (!tokenizeLine(out.get(), source.c_str())) return 0;
    const std::size_t end = checkTokenLine(out.get(), LINE_BUFFER_BYTES);
    for (const std::uint8_t* p = out.get(); p < out.get() + end; p = skipElement(p))
        require(skipToLineEnd(p) == out.get() + end, "skipToLineEnd from an element misses the end",
                static_cast<long>(p - out.get()));

    // The interpreter tokenises only lines of at most 255 units; the round trip is checked for those, and not
    // for a line with a byte-order mark inside it.
    if (source.size() > LINE_UNITS || hasInnerMark(source)) return 0;
    // A byte-order mark outside text becomes a filler that no listing shows: such a line re-tokenises to the
    // bytes of the line without it, so the byte-exact round trip is checked only for lines without a mark.
    if (source.find(u'\uFEFF') != std::u16string::npos) return 0;
    if (out[0] == TOK_FILLER && out[1] == TOK_DECIMAL) {
        storeAndList(machine, out.get(), fitsOneLine);
    } else {
        // The same text as the body of a program line.
        const std::u16string numbered = u"1 " + source;
        if (numbered.size() <= LINE_UNITS && !hasInnerMark(numbered) &&
            tokenizeLine(out.get(), numbered.c_str()))
            storeAndList(machine, out.get(), fitsOneLine);
    }
    return 0;
}
