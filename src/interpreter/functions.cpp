// The built-in functions that read more than one factor: the point functions, screenpeek and input.
#include "console.h"
#include "interpreter_inline.h"

namespace tavik {

int Interpreter::readStringLiteral(char16_t* out, int capacity) {
    int n = 0;
    for (char16_t u; (u = static_cast<char16_t>(load16(readPtr))) != 0; readPtr += 2, ++n)
        if (n < capacity - 1) out[n] = u;
    out[n < capacity - 1 ? n : capacity - 1] = 0;
    readPtr += 2;
    return n;
}

std::int16_t Interpreter::twoArgumentFunction(std::uint8_t token) {
    if (nextSignificantByte() != '(') {
        errSyntax();
        return 0;
    }
    const std::int16_t x = evalExpression();
    if (errorFlag) return 0;
    if (nextSignificantByte() != ',') {
        errSyntax();
        return 0;
    }
    const std::int16_t y = evalExpression();
    if (errorFlag) return 0;
    if (nextSignificantByte() != ')') {
        errSyntax();
        return 0;
    }
    if (token == T_SCREENPEEK) return static_cast<std::int16_t>(console.peekCell(x, y));
    const Colour c = console.pointColour(x, y);
    const int shift = token == T_POINTR ? 0 : token == T_POINTG ? 8 : 16;
    return static_cast<std::int16_t>((c >> shift) & 0xFF);
}

std::int16_t Interpreter::inputFunction() {
    const char16_t* prompt = u"? ";
    char16_t promptText[SOURCE_LINE_UNITS];
    std::uint8_t b = nextSignificantByte();
    if (b == '(') {
        if (nextSignificantByte() != TOK_STRING) {
            errSyntax();
            return 0;
        }
        // The prompt is copied out: inputValue reuses lineBuffer, where the statement may be running.
        readStringLiteral(promptText, SOURCE_LINE_UNITS);
        prompt = promptText;
        if (nextSignificantByte() != ')') {
            errSyntax();
            return 0;
        }
        b = nextSignificantByte();
    }
    if (b == 0 || b == TOK_END || b == TOK_APOSTROPHE) {
        // A remark after input stays a remark.
        --readPtr;
    } else if (b >= TOK_DECIMAL && b <= TOK_REMARK) {
        // The byte after input is lost, but a literal or string is lost whole: reading on from inside it
        // would run its value bytes as statements.
        --readPtr;
        readPtr = skipElement(readPtr);
    }
    return inputValue(prompt);
}

} // namespace tavik
