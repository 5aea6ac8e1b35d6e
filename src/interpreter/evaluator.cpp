// Expressions are evaluated straight from the token bytes, one recursive-descent routine per level.
// Every value is 16-bit and wraps; relations give -1 or 0. After an error the value is meaningless and
// errorFlag tells every caller to unwind.
#include "console.h"
#include "interpreter.h"

namespace tavik {
namespace {
inline std::int16_t wrap(std::int32_t v) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
}
inline std::int16_t loadValue(const std::uint8_t* p) {
    return static_cast<std::int16_t>(load16(p));
}
} // namespace

std::int16_t Interpreter::evalExpression() {
    std::int16_t left = evalRelation();
    while (!errorFlag) {
        // Looked at in place: a byte that is no operator of this level stays where it is, as put back.
        const std::uint8_t b = peekSignificantByte();
        if (b < T_AND || b > T_XOR) return left;
        ++readPtr;
        const std::int16_t right = evalRelation();
        if (b == T_AND)
            left = static_cast<std::int16_t>(left & right);
        else if (b == T_OR)
            left = static_cast<std::int16_t>(left | right);
        else
            left = static_cast<std::int16_t>(left ^ right);
    }
    return -1;
}

std::int16_t Interpreter::evalRelation() {
    std::int16_t left = evalSum();
    while (!errorFlag) {
        const std::uint8_t b = peekSignificantByte();
        if (b < '<' || b > '>') return left; // '<', '=' and '>' are consecutive codes
        ++readPtr;
        enum { LT, LE, NE, EQ, GT, GE } op;
        if (b == '<') {
            const std::uint8_t c = nextSignificantByte();
            if (c == '=')
                op = LE;
            else if (c == '>')
                op = NE;
            else {
                --readPtr;
                op = LT;
            }
        } else if (b == '=') {
            op = EQ;
        } else {
            const std::uint8_t c = nextSignificantByte();
            if (c == '=')
                op = GE;
            else {
                --readPtr;
                op = GT;
            }
        }
        const std::int16_t right = evalSum();
        bool r = false;
        switch (op) {
        case LT: r = left < right; break;
        case LE: r = left <= right; break;
        case NE: r = left != right; break;
        case EQ: r = left == right; break;
        case GT: r = left > right; break;
        case GE: r = left >= right; break;
        }
        left = r ? -1 : 0;
    }
    return -1;
}

std::int16_t Interpreter::evalSum() {
    std::int16_t left = evalTerm();
    while (!errorFlag) {
        const std::uint8_t b = peekSignificantByte();
        if (b != '+' && b != '-') return left;
        ++readPtr;
        const std::int16_t right = evalTerm();
        left = wrap(b == '+' ? left + right : left - right);
    }
    return -1;
}

std::int16_t Interpreter::evalTerm() {
    std::int16_t left = evalFactor();
    while (!errorFlag) {
        const std::uint8_t b = peekSignificantByte();
        if (b != '*' && b != '/') return left;
        ++readPtr;
        if (b == '*') {
            left = wrap(left * evalFactor());
        } else {
            const std::int16_t divisor = evalFactor();
            // The zero test comes before the flag test, as the handheld did: a failed divisor adds this
            // message.
            if (divisor == 0) {
                errDivideByZero();
                return -1;
            }
            left = wrap(left / divisor);
        }
    }
    return -1;
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
