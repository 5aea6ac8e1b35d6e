// Expressions are evaluated straight from the token bytes: the operator levels share one loop and read their
// operands through evalFactor, which recurses for brackets and prefix operators.
// Every value is 16-bit and wraps; relations give -1 or 0. After an error the value is meaningless and
// errorFlag tells every caller to unwind.
#include "console.h"
#include "interpreter.h"

#include <array>

namespace tavik {
namespace {
inline std::int16_t wrap(std::int32_t v) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
}
inline std::int16_t loadValue(const std::uint8_t* p) {
    return static_cast<std::int16_t>(load16(p));
}

// The level of the operator a byte begins: 1 and, or, xor; 2 the relations; 3 + and -; 4 * and /; 0 for a
// byte that begins no operator.
constexpr std::array<std::uint8_t, 256> OperatorLevel = [] {
    std::array<std::uint8_t, 256> t{};
    t[T_AND] = t[T_OR] = t[T_XOR] = 1;
    t['<'] = t['='] = t['>'] = 2;
    t['+'] = t['-'] = 3;
    t['*'] = t['/'] = 4;
    return t;
}();
} // namespace

// Levels 1 to 4 share one loop. It yields exactly what the routine of `level` yields when each level calls
// the next tighter one (left = tighter level; while no error, an operator of this level is followed by
// another tighter operand), without passing through the levels between: after an operand, the next operator's
// own level says where it belongs. An operator at or above `level` is taken here (its right operand is the
// tighter level's expression, which takes every tighter operator); a looser one, or a byte that is no
// operator, is left in place (put back) for the caller. errorFlag is tested before every look at an operator,
// as each level does, so that after an error nothing more is read.
std::int16_t Interpreter::evalLevel(int level) {
    return evalLevelFrom(level, evalFactor());
}

std::int16_t Interpreter::evalLevelFrom(int level, std::int16_t left) {
    for (;;) {
        if (errorFlag) return -1;
        const std::uint8_t b = peekSignificantByte();
        const int op = OperatorLevel[b];
        if (op < level) return left; // 0, no operator, is below every level
        ++readPtr;
        enum { LT, LE, NE, EQ, GT, GE } rel = EQ;
        if (b == '<') {
            const std::uint8_t c = nextSignificantByte();
            if (c == '=')
                rel = LE;
            else if (c == '>')
                rel = NE;
            else {
                --readPtr;
                rel = LT;
            }
        } else if (b == '>') {
            const std::uint8_t c = nextSignificantByte();
            if (c == '=')
                rel = GE;
            else {
                --readPtr;
                rel = GT;
            }
        }
        // The right operand is the tighter level's expression: a factor, then that level's loop. The loop is
        // entered only when a tighter operator follows; otherwise it would give back the factor as it is,
        // leaving readPtr where this look leaves it. For * and / the operand is the factor alone.
        std::int16_t right = evalFactor();
        if (op < 4 && !errorFlag && OperatorLevel[peekSignificantByte()] > op)
            right = evalLevelFrom(op + 1, right);
        if (op == 4) {
            if (b == '*') {
                left = wrap(left * right);
            } else {
                // The zero test comes before the flag test, as the handheld did: a failed divisor adds this
                // message.
                if (right == 0) {
                    errDivideByZero();
                    return -1;
                }
                left = wrap(left / right);
            }
        } else if (op == 3) {
            left = wrap(b == '+' ? left + right : left - right);
        } else if (op == 2) {
            bool r = false;
            switch (rel) {
            case LT: r = left < right; break;
            case LE: r = left <= right; break;
            case NE: r = left != right; break;
            case EQ: r = left == right; break;
            case GT: r = left > right; break;
            case GE: r = left >= right; break;
            }
            left = r ? -1 : 0;
        } else if (b == T_AND) {
            left = static_cast<std::int16_t>(left & right);
        } else if (b == T_OR) {
            left = static_cast<std::int16_t>(left | right);
        } else {
            left = static_cast<std::int16_t>(left ^ right);
        }
    }
}

std::int16_t Interpreter::evalExpression() {
    return evalLevel(1);
}

std::int16_t Interpreter::evalRelation() {
    return evalLevel(2);
}

std::int16_t Interpreter::evalSum() {
    return evalLevel(3);
}

std::int16_t Interpreter::evalTerm() {
    return evalLevel(4);
}

std::int16_t Interpreter::evalFactor() {
    const std::uint8_t b = nextSignificantByte();
    if (b >= 'A' && b <= 'Z') return *globalVar(b);
    if (b >= 'a' && b <= 'z') return *localVar(b);
    if (b == TOK_DECIMAL || b == TOK_HEX) {
        const std::int16_t v = loadValue(readPtr);
        readPtr += 2;
        return v;
    }
    return evalCompoundFactor(b);
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
    case T_ORIENT: return host.screenWidth() > host.screenHeight() ? 1 : 0;
    default: errSyntax(); return -1;
    }
}

std::uint8_t* Interpreter::readArrayRef() {
    const std::uint8_t open = nextSignificantByte();
    if (open != '(' && open != '[') {
        errSyntax();
        return nullptr;
    }
    const std::int16_t index = evalExpression();
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

void Interpreter::assignFromExpression(std::uint8_t* target) {
    if (nextSignificantByte() != '=') {
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
