// Expressions are evaluated straight from the token bytes: the operator levels share one loop and read their
// operands through evalFactor, which recurses for brackets and prefix operators.
// Every value is 16-bit and wraps; relations give -1 or 0. After an error the value is meaningless and
// errorFlag tells every caller to unwind.
#include "console.h"
#include "interpreter_inline.h"

#include <array>

namespace tavik {
namespace {
inline std::int16_t loadValue(const std::uint8_t* p) {
    return static_cast<std::int16_t>(load16(p));
}
} // namespace

// The factor at p; p ends past it. Variables and literals, most factors, are read here with the position in
// a register; every other factor goes through evalCompoundFactor, which works at readPtr.
[[gnu::always_inline]] inline std::int16_t Interpreter::operand(std::uint8_t*& p) {
    std::int16_t v;
    if (plainFactor(p, v)) return v;
    const std::uint8_t b = *p;
    readPtr = p + 1;
    v = evalCompoundFactor(b);
    p = readPtr;
    return v;
}

// Levels 1 to 4 share one loop. It yields exactly what the routine of `level` yields when each level calls
// the next tighter one (left = tighter level; while no error, an operator of this level is followed by
// another tighter operand), without passing through the levels between: after an operand, the next operator's
// own level says where it belongs. An operator at or above `level` is taken here (its right operand is the
// tighter level's expression, which takes every tighter operator); a looser one, or a byte that is no
// operator, is left in place (put back) for the caller. errorFlag is tested before every look at an operator,
// as each level does, so that after an error nothing more is read.
// The read position stays in p and is handed back through readPtr before anything else reads it.
[[gnu::always_inline]] inline std::int16_t Interpreter::evalLevelAt(int level, std::int16_t left,
                                                                    std::uint8_t* p) {
    for (;;) {
        if (errorFlag) {
            readPtr = p;
            return -1;
        }
        std::uint8_t b = *p;
        int op = OperatorLevel[b];
        while (op == OP_BLANK) {
            b = *++p;
            op = OperatorLevel[b];
        }
        if (op < level) { // 0, no operator, is below every level
            readPtr = p;
            return left;
        }
        ++p;
        if (op == LEVEL_RELATION && b != '=') {
            // The second byte of <=, <> or >= may stand after blanks; anything else stays unread.
            std::uint8_t* q = p;
            while (isBlank(*q)) ++q;
            if (*q == '=') {
                b = b == '<' ? OP_LE : OP_GE;
                p = q + 1;
            } else if (*q == '>' && b == '<') {
                b = OP_NE;
                p = q + 1;
            }
        }
        // The right operand is the tighter level's expression: a factor, then that level's loop. The loop is
        // entered only when a tighter operator follows; otherwise it would give back the factor as it is.
        // For * and / the operand is the factor alone.
        std::int16_t right = operand(p);
        if (op < LEVEL_TERM && !errorFlag) {
            int next = OperatorLevel[*p];
            while (next == OP_BLANK) next = OperatorLevel[*++p];
            if (next > op) {
                readPtr = p;
                right = evalLevelFrom(op + 1, right);
                p = readPtr;
            }
        }
        // The zero test comes before the flag test, as the handheld did: a failed divisor adds this message.
        if (b == '/' && right == 0) {
            readPtr = p;
            errDivideByZero();
            return -1;
        }
        left = applyOperator(b, left, right);
    }
}

std::int16_t Interpreter::evalLevel(int level) {
    std::uint8_t* p = readPtr;
    const std::int16_t left = operand(p);
    return evalLevelAt(level, left, p);
}

std::int16_t Interpreter::evalLevelFrom(int level, std::int16_t left) {
    return evalLevelAt(level, left, readPtr);
}

// Operators between plain factors (variables and literals), each binding no tighter than the one before
// (K=K+1, K<1000, A=K/2*3+4-5): every operator can be applied as soon as its right operand is read, so they
// are worked off left to right here. At the first thing that does not fit (a tighter operator, a bracket, a
// function, a division by 0, a relation of two bytes) the operator loop takes over at that operator with the
// value so far, which is what it would hold there itself; errors and positions therefore stay the loop's.
std::int16_t Interpreter::evalBinaryFrom(std::int16_t left) {
    std::uint8_t* p = readPtr;
    std::uint8_t b = *p;
    int level = OperatorLevel[b];
    for (;;) {
        std::uint8_t* q = p + 1;
        std::int16_t right;
        if (!plainFactor<false>(q, right)) break;
        int next = OperatorLevel[*q];
        while (next == OP_BLANK) next = OperatorLevel[*++q];
        if (next > level) break;
        if (b == '/' && right == 0) break;
        left = applyOperator(b, left, right);
        if (next == 0) {
            readPtr = q;
            return left;
        }
        p = q;
        b = *q;
        level = next;
    }
    readPtr = p;
    return evalLevelFrom(LEVEL_LOGIC, left);
}

std::int16_t Interpreter::evalFactor() {
    std::uint8_t* p = readPtr;
    const std::int16_t v = operand(p);
    readPtr = p;
    return v;
}

// Kept apart from evalFactor so that the variables and literals, most factors, pay for no more than they use.
std::int16_t Interpreter::evalCompoundFactor(std::uint8_t b) {
    switch (b) {
    case '@': {
        const std::uint8_t* element = readArrayRef();
        return element ? loadValue(element) : -1;
    }
    case '(': {
        const std::int16_t v = evalExpression();
        if (errorFlag) return -1;
        if (nextSignificantByte() != ')') {
            errSyntax();
            return -1;
        }
        return v;
    }
    case '-': return wrap(-evalFactor());
    case T_NOT: return static_cast<std::int16_t>(~evalFactor());
    case T_WAITCHAR:
    case T_WAITKEY: {
        releasePlotLock();
        char16_t answer[2] = {0, 0};
        host.requestInput(answer, 2, b == T_WAITCHAR ? InputMode::Char : InputMode::Key);
        return static_cast<std::int16_t>(answer[0]);
    }
    case T_RND: {
        const std::int16_t n = evalFactor();
        if (errorFlag) return -1;
        if (n == 0) {
            errDivideByZero();
            return -1;
        }
        return static_cast<std::int16_t>(rand() % n);
    }
    case T_ABS: {
        const std::int16_t v = evalFactor();
        return v < 0 ? wrap(-v) : v;
    }
    case T_TICK: return wrap(static_cast<std::int32_t>(host.tickCount() / 10u));
    case T_INPUT: return inputFunction();
    case T_KEY: {
        const std::int16_t n = evalFactor();
        if (errorFlag) return -1;
        // The key table has 256 entries; any other code reads as a key that is up.
        return (n >= 0 && n <= 255 && host.keyDown(n)) ? -1 : 0;
    }
    case T_POINTR:
    case T_POINTG:
    case T_POINTB:
    case T_SCREENPEEK: return twoArgumentFunction(b);
    case T_DEFFONTSIZE: return static_cast<std::int16_t>(console.defaultFontHeight());
    case T_ORIENT: releasePlotLock(); return host.screenWidth() > host.screenHeight() ? 1 : 0;
    default: errSyntax(); return -1;
    }
}

std::uint8_t* Interpreter::readArrayIndexSlow(std::int16_t& index) {
    const std::uint8_t open = nextSignificantByte();
    if (open != '(' && open != '[') {
        errSyntax();
        return nullptr;
    }
    index = evalExpression();
    if (errorFlag) return nullptr;
    std::uint8_t* element = arrayElement(index);
    if (!element) return nullptr;
    const std::uint8_t close = nextSignificantByte();
    if (close != ')' && close != ']') {
        errSyntax();
        return nullptr;
    }
    return element;
}

std::uint8_t* Interpreter::readArrayRef() {
    std::int16_t index;
    return readArrayIndex(index);
}

void Interpreter::assignFromExpression(std::uint8_t* target) {
    std::uint8_t* p = readPtr;
    std::uint8_t b = *p;
    while (isBlank(b)) b = *++p;
    readPtr = p + 1;
    if (b != '=') {
        errSyntax();
        return;
    }
    const std::int16_t v = evalExpression();
    if (!errorFlag) store16(target, static_cast<std::uint16_t>(v));
}

bool Interpreter::readRgb(std::uint8_t out[3]) {
    for (int i = 0; i < 3; ++i) {
        const std::int16_t v = evalExpression();
        if (errorFlag) return false;
        if (v < 0 || v > 255) {
            errParameter();
            return false;
        }
        out[i] = static_cast<std::uint8_t>(v);
        if (i < 2 && nextSignificantByte() != ',') {
            errSyntax();
            return false;
        }
    }
    return true;
}

} // namespace tavik
