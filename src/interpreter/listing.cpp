// One detokeniser serves LIST and SAVE, so a saved file is exactly what LIST shows. Tokenising a listed
// line gives back the stored bytes.
#include "console.h"
#include "interpreter_inline.h"

namespace tavik {

namespace {

// Counts the units a listing would write, writing nothing.
class UnitCounter final : public OutputStream {
  public:
    bool write(const char16_t*, std::size_t count) override {
        units += count;
        return true;
    }
    std::size_t units = 0;
};

} // namespace

// Lists one record: its number, its body element by element, CR LF. A hexadecimal 0 is written "0x0", and a
// decimal 0 before xor "00xor"; when compact is set (the usual form would not fit a file line), "0x" and
// "0XOR", which read back the same and are no longer than the typed forms.
bool Interpreter::listRecord(OutputStream* stream, const std::uint8_t* r, bool compact) {
    if (!outFormat(stream, u"%d", {static_cast<unsigned>(load16(r))})) return false;
    const std::uint8_t* p = r + 4;
    for (;;) {
        const std::uint8_t b = *p++;
        bool ok = true;
        if (b == TOK_END) return outFormat(stream, u"\r\n", {});
        switch (b) {
        case TOK_DECIMAL:
            // A 0 right before an x (typed "00x") would read back as a hexadecimal literal: "00" keeps it.
            // Only a lower-case x begins one, so "0XOR" (typed so) keeps the keyword in fewer units.
            if (load16(p) == 0 && p[2] == T_XOR && compact) {
                ok = outFormat(stream, u"0XOR", {});
                ++p;
            } else if (load16(p) == 0 && (p[2] == 'x' || p[2] == T_XOR))
                ok = outFormat(stream, u"00", {});
            else
                ok = outFormat(stream, u"%d", {static_cast<unsigned>(load16(p))});
            p += 2;
            break;
        case TOK_HEX:
            ok = load16(p) == 0 && compact ? outFormat(stream, u"0x", {})
                                           : outFormat(stream, u"0x%x", {static_cast<unsigned>(load16(p))});
            p += 2;
            break;
        case TOK_STRING:
        case TOK_REMARK: {
            char16_t text[SOURCE_LINE_UNITS];
            int n = 0;
            for (char16_t u; (u = static_cast<char16_t>(load16(p))) != 0; p += 2)
                if (n < SOURCE_LINE_UNITS - 1) text[n++] = u;
            text[n] = 0;
            p += 2;
            ok = outFormat(stream, b == TOK_STRING ? u"\"%s\"" : u"%s", {static_cast<const char16_t*>(text)});
            break;
        }
        case TOK_FILLER: break;
        default:
            if (b >= 0x80) {
                const char16_t* name = keywordName(b);
                ok = name ? outFormat(stream, u"%s", {name})
                          : outFormat(stream, u"[?%x?]", {static_cast<unsigned>(b)});
            } else {
                ok = outFormat(stream, u"%c", {static_cast<char16_t>(b)});
            }
            break;
        }
        if (!ok) return false;
    }
}

bool Interpreter::listLines(OutputStream* stream, std::uint16_t from, std::uint16_t to) {
    for (const std::uint8_t* r = program.findLineFrom(from); load16(r) != 0 && load16(r) <= to;
         r += load16(r + 2)) {
        // Every other element lists no longer than it was typed, but a bare "0x" grows to "0x0": a line of
        // them that would outgrow a program file's line (255 units before CR LF) lists them as "0x", which
        // reads back the same, so that SAVE and LOAD keep the line whole.
        UnitCounter counter;
        listRecord(&counter, r, false);
        const bool compact = counter.units > static_cast<std::size_t>(SOURCE_LINE_UNITS - 1) + 2;
        if (!listRecord(stream, r, compact)) return false;
    }
    return true;
}

void Interpreter::stList() {
    std::uint16_t from = 1;
    std::uint16_t to = 32767;
    std::uint8_t b = nextSignificantByte();
    if (endsStatement(b)) {
        --readPtr;
    } else {
        if (b == TOK_DECIMAL) {
            from = load16(readPtr);
            readPtr += 2;
            b = nextSignificantByte();
        }
        if (b == '-') {
            if (nextSignificantByte() == TOK_DECIMAL) {
                to = load16(readPtr);
                readPtr += 2;
            } else {
                --readPtr;
            }
        } else {
            --readPtr;
            to = from;
        }
    }
    listLines(nullptr, from, to);
}

} // namespace tavik
