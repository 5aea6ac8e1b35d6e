// One detokeniser serves LIST and SAVE, so a saved file is exactly what LIST shows. Tokenising a listed
// line gives back the stored bytes.
#include "console.h"
#include "interpreter.h"

namespace tavik {

bool Interpreter::listLines(OutputStream* stream, std::uint16_t from, std::uint16_t to) {
    for (const std::uint8_t* r = findLineFrom(from); load16(r) != 0 && load16(r) <= to; r += load16(r + 2)) {
        if (!outFormat(stream, u"%d", {static_cast<unsigned>(load16(r))})) return false;
        const std::uint8_t* p = r + 4;
        for (;;) {
            const std::uint8_t b = *p++;
            bool ok = true;
            if (b == TOK_END) {
                ok = outFormat(stream, u"\r\n", {});
                if (!ok) return false;
                break;
            }
            switch (b) {
            case TOK_DECIMAL:
                ok = outFormat(stream, u"%d", {static_cast<unsigned>(load16(p))});
                p += 2;
                break;
            case TOK_HEX:
                ok = outFormat(stream, u"0x%x", {static_cast<unsigned>(load16(p))});
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
                ok = outFormat(stream, b == TOK_STRING ? u"\"%s\"" : u"%s",
                               {static_cast<const char16_t*>(text)});
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
    return true;
}

void Interpreter::stList() {
    std::uint16_t from = 1;
    std::uint16_t to = 32767;
    std::uint8_t b = nextSignificantByte();
    if (b == ':' || b == TOK_END || b == 0x27) {
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
