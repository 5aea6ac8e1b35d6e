#pragma once
// The byte form of a tokenised line and the keyword table.
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

// Statement tokens index the statement table (token - 0x80).
enum Token : std::uint8_t {
    T_IF = 0x80,
    T_PRINT,
    T_LOCATE,
    T_CLS,
    T_GOTO,
    T_GOSUB,
    T_RETURN,
    T_FOR,
    T_NEXT,
    T_END,
    T_BREAK,
    T_REM,
    T_NEW,
    T_LIST,
    T_RUN,
    T_CONT,
    T_SAVE,
    T_LOAD,
    T_MERGE,
    T_RANDOMIZE,
    T_EXIT,
    T_DEBUG,
    T_WAITMS,
    T_WIDTH,
    T_TRON,
    T_TROFF,
    T_ORIENT,
    T_FCOLOR,
    T_BCOLOR,
    T_CONSOLE,
    T_GRAPH,
    T_GCLS,
    T_PSET,
    // The direct-mode editing commands.
    T_AUTO,
    T_RENUM,
    T_DELETE,
    T_AND = 0xB0,
    T_OR = 0xB1,
    T_XOR = 0xB2,
    T_NOT = 0xB8,
    T_WAITCHAR = 0xC0,
    T_WAITKEY,
    T_RND,
    T_ABS,
    T_TICK,
    T_INPUT,
    T_KEY,
    T_POINTR,
    T_POINTG,
    T_POINTB,
    T_SCREENPEEK,
    T_DEFFONTSIZE,
    T_THEN = 0xF0,
    T_CHR = 0xF1,
    T_TO = 0xF2,
    T_STEP = 0xF3,
};

constexpr int STATEMENT_COUNT = T_DELETE - T_IF + 1; // 36

// The bytes after which a statement's optional operands are absent: a separator, the line's end, a remark.
inline bool endsStatement(std::uint8_t b) {
    return b == ':' || b == TOK_END || b == TOK_APOSTROPHE;
}

struct KeywordEntry {
    std::uint16_t token; // 0 ends a list
    const char16_t* name;
};

// One list per first letter a..z, nullptr where a letter begins no keyword. Order decides matching.
extern const KeywordEntry* const KeywordTable[26];

// The keyword's lower-case name, or nullptr when the byte is no keyword.
const char16_t* keywordName(std::uint8_t token);

} // namespace tavik
