#pragma once
// The byte form of a tokenised line and the keyword table.
#include "statements.h"

#include <cstdint>

namespace tavik {

constexpr std::uint8_t TOK_DECIMAL = 0x01;
constexpr std::uint8_t TOK_HEX = 0x02;
constexpr std::uint8_t TOK_STRING = 0x03;
constexpr std::uint8_t TOK_REMARK = 0x04;
constexpr std::uint8_t TOK_END = 0x0D;
constexpr std::uint8_t TOK_FILLER = 0xFF;
// The apostrophe: a remark from here to the line's end.
constexpr std::uint8_t TOK_APOSTROPHE = 0x27;

// A statement's place in TAVIK_STATEMENTS, which is its token - 0x80 and its index in the statement table.
enum StatementIndex : int {
#define TAVIK_STATEMENT_INDEX(name, handler, spelling) S_##name,
    TAVIK_STATEMENTS(TAVIK_STATEMENT_INDEX)
#undef TAVIK_STATEMENT_INDEX
        STATEMENT_COUNT
};

constexpr std::uint8_t FIRST_STATEMENT_TOKEN = 0x80;

enum Token : std::uint8_t {
#define TAVIK_STATEMENT_TOKEN(name, handler, spelling) T_##name = FIRST_STATEMENT_TOKEN + S_##name,
    TAVIK_STATEMENTS(TAVIK_STATEMENT_TOKEN)
#undef TAVIK_STATEMENT_TOKEN
#define TAVIK_KEYWORD_TOKEN(name, code, spelling) T_##name = code,
        TAVIK_KEYWORDS(TAVIK_KEYWORD_TOKEN)
#undef TAVIK_KEYWORD_TOKEN
};

constexpr std::uint8_t LAST_STATEMENT_TOKEN = FIRST_STATEMENT_TOKEN + STATEMENT_COUNT - 1;

// The bytes after which a statement's optional operands are absent: a separator, the line's end, a remark.
inline bool endsStatement(std::uint8_t b) {
    return b == ':' || b == TOK_END || b == TOK_APOSTROPHE;
}

struct KeywordEntry {
    std::uint16_t token; // 0 ends a list
    const char16_t* name;
};

// One list per first letter a..z, nullptr where a letter begins no keyword; the longest match comes first.
extern const KeywordEntry* const KeywordTable[26];

// The keyword's lower-case name, or nullptr when the byte is no keyword.
const char16_t* keywordName(std::uint8_t token);

// --- what the lists must keep ---
namespace keyword_checks {
struct Code {
    unsigned code;
    const char16_t* spelling;
};
constexpr Code AllKeywords[] = {
#define TAVIK_STATEMENT_CODE(name, handler, spelling) {T_##name, spelling},
    TAVIK_STATEMENTS(TAVIK_STATEMENT_CODE)
#undef TAVIK_STATEMENT_CODE
#define TAVIK_KEYWORD_CODE(name, code, spelling) {code, spelling},
        TAVIK_KEYWORDS(TAVIK_KEYWORD_CODE)
#undef TAVIK_KEYWORD_CODE
};
constexpr bool codesDistinctAndHigh() {
    for (const Code& a : AllKeywords) {
        if (a.code < 0x80 || a.code >= TOK_FILLER) return false;
        int same = 0;
        for (const Code& b : AllKeywords) same += a.code == b.code;
        if (same != 1) return false;
    }
    return true;
}
constexpr bool spellingsLowerCaseAndDistinct() {
    for (const Code& a : AllKeywords) {
        int n = 0;
        // Two letters at least: a single letter is a variable.
        for (; a.spelling[n] != 0; ++n)
            if (a.spelling[n] < 'a' || a.spelling[n] > 'z') return false;
        if (n < 2) return false;
        for (const Code& b : AllKeywords) {
            if (&a == &b) continue;
            int k = 0;
            while (a.spelling[k] != 0 && a.spelling[k] == b.spelling[k]) ++k;
            if (a.spelling[k] == 0 && b.spelling[k] == 0) return false;
        }
    }
    return true;
}
} // namespace keyword_checks

static_assert(keyword_checks::codesDistinctAndHigh(), "every keyword has its own code in 0x80..0xFE");
static_assert(keyword_checks::spellingsLowerCaseAndDistinct(),
              "every spelling is two or more lower-case letters, each its own");
static_assert(LAST_STATEMENT_TOKEN < T_AND,
              "the statements run into the operators: no statement code is free");
// Codes stay where they are: a new keyword takes a free one.
static_assert(T_IF == 0x80 && T_PRINT == 0x81 && T_FOR == 0x87 && T_NEXT == 0x88 && T_END == 0x89 &&
                  T_DEBUG == 0x95 && T_PSET == 0xA0,
              "statement codes moved: add new statements at the end of TAVIK_STATEMENTS");
static_assert(T_AND == 0xB0 && T_OR == 0xB1 && T_XOR == 0xB2 && T_NOT == 0xB8 && T_WAITCHAR == 0xC0 &&
                  T_DEFFONTSIZE == 0xCB && T_THEN == 0xF0 && T_STEP == 0xF3,
              "keyword codes moved");

} // namespace tavik
