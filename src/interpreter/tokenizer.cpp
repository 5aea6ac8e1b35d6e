// One pass over the source line, straight into the caller's buffer. Type bytes and the end byte always
// land at odd offsets (a filler goes in front when needed), so every 16-bit payload is aligned.
#include "tokenizer.h"

#include "tokens.h"

namespace tavik {
namespace {

// Full-width ASCII forms and the ideographic space read as their ASCII counterparts, so that a line typed
// through an input method works as typed in ASCII.
inline char16_t normalise(char16_t u) {
    if (u >= 0xFF01 && u <= 0xFF5E) return static_cast<char16_t>(u - 0xFF01 + 0x21);
    if (u == 0x3000) return 0x20;
    return u;
}
inline bool isLetter(char16_t u) {
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}
inline bool isDigit(char16_t u) {
    return u >= '0' && u <= '9';
}
inline char16_t fold(char16_t u) {
    return (u >= 'A' && u <= 'Z') ? static_cast<char16_t>(u + 32) : u;
}
inline int hexDigit(char16_t u) {
    if (isDigit(u)) return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}

// Room kept free at the end of the buffer: the largest single element written between bound checks.
constexpr int HEADROOM = 8;

class Writer {
  public:
    explicit Writer(std::uint8_t* out) : out_(out) {}
    void byte(std::uint8_t b) { out_[n_++] = b; }
    void unit(char16_t u) {
        byte(static_cast<std::uint8_t>(u));
        byte(static_cast<std::uint8_t>(u >> 8));
    }
    void align() {
        if ((n_ & 1) == 0) byte(TOK_FILLER);
    }
    bool full() const { return n_ > LINE_BUFFER_BYTES - HEADROOM; }

  private:
    std::uint8_t* out_;
    int n_ = 0;
};

// Copies remark text up to the end of the source line, raw.
bool copyRemark(Writer& w, const char16_t*& s) {
    w.align();
    w.byte(TOK_REMARK);
    while (*s != 0 && *s != 0x0D) {
        if (w.full()) return false;
        w.unit(*s++);
    }
    w.unit(0);
    return true;
}

} // namespace

bool tokenizeLine(std::uint8_t* out, const char16_t* source) {
    Writer w(out);
    const char16_t* s = source;
    for (;;) {
        if (w.full()) return false; // only a source longer than any console or file line gets here
        const char16_t raw = *s;
        if (raw == 0 || raw == 0x0A || raw == 0x0D || raw == 0x03) {
            w.align();
            w.byte(TOK_END);
            return true;
        }
        const char16_t u = normalise(raw);
        if (u == 0x20 || u == 0x09) {
            w.byte(static_cast<std::uint8_t>(u));
            ++s;
        } else if (u < 0x20) {
            return false;
        } else if (u == '0' && normalise(s[1]) == 'x') {
            w.align();
            w.byte(TOK_HEX);
            s += 2;
            unsigned v = 0;
            for (int d; (d = hexDigit(normalise(*s))) >= 0; ++s)
                v = (v * 16 + static_cast<unsigned>(d)) & 0xFFFF;
            w.unit(static_cast<char16_t>(v));
        } else if (isDigit(u)) {
            w.align();
            w.byte(TOK_DECIMAL);
            unsigned v = static_cast<unsigned>(u - '0');
            ++s;
            for (char16_t d; isDigit(d = normalise(*s)); ++s) {
                v = v * 10 + (d - '0');
                if (v > 32767) return false;
            }
            w.unit(static_cast<char16_t>(v));
        } else if (isLetter(u)) {
            if (!isLetter(normalise(s[1]))) {
                w.byte(static_cast<std::uint8_t>(u));
                ++s;
                continue;
            }
            const KeywordEntry* list = KeywordTable[fold(u) - 'a'];
            if (!list) return false;
            const KeywordEntry* match = nullptr;
            int length = 0;
            for (const KeywordEntry* e = list; e->token != 0 && !match; ++e) {
                int k = 0;
                while (e->name[k] != 0 && e->name[k] == fold(normalise(s[k]))) ++k;
                if (e->name[k] == 0) {
                    match = e;
                    length = k;
                }
            }
            if (!match) return false;
            w.byte(static_cast<std::uint8_t>(match->token));
            s += length;
            if (match->token == T_REM && !copyRemark(w, s)) return false;
        } else if (u == TOK_APOSTROPHE) {
            w.byte(TOK_APOSTROPHE);
            ++s;
            if (!copyRemark(w, s)) return false;
        } else if (u == 0x22) {
            w.align();
            w.byte(TOK_STRING);
            ++s;
            // Only a plain double quote ends the string: inside it, full-width forms are text.
            while (*s != 0x22) {
                if (*s == 0 || w.full()) return false;
                w.unit(*s++);
            }
            w.unit(0);
            ++s;
        } else if (u <= 0x7F) {
            w.byte(static_cast<std::uint8_t>(u));
            ++s;
        } else if (raw == 0xFEFF) {
            // The byte-order mark vanishes as a filler wherever it stands outside a string or remark (at the
            // head of a program file's first line, above all). Such a filler is the one byte a listing does
            // not give back, so a line holding a mark is the one case that does not re-tokenise to its own
            // bytes.
            w.byte(TOK_FILLER);
            ++s;
        } else {
            return false;
        }
    }
}

} // namespace tavik
