#pragma once
// The interpreter's operations on the hot path, defined where every file of the interpreter can inline them:
// the byte tables the readers look bytes up in, the factor decoder, the line start and the resume of a frame.
// The interpreter's own files include this header instead of interpreter.h.
#include "interpreter.h"

#include <array>
#include <cstddef>

namespace tavik {

// One table load instead of three compares: blanks are tested at every byte the evaluator reads.
inline constexpr std::array<bool, 256> BlankBytes = [] {
    std::array<bool, 256> t{};
    t[0x20] = t[0x09] = t[TOK_FILLER] = true;
    return t;
}();
// The operator levels, loosest first, each named after what its operands form: and, or, xor join
// relations; a relation compares sums; a sum adds terms; a term multiplies factors.
inline constexpr int LEVEL_LOGIC = 1;
inline constexpr int LEVEL_RELATION = 2;
inline constexpr int LEVEL_SUM = 3;
inline constexpr int LEVEL_TERM = 4;
// The level of the operator a byte begins; 0 for a byte that begins no operator; OP_BLANK for a blank, so
// that one lookup both skips blanks and finds the operator.
inline constexpr std::uint8_t OP_BLANK = 9;
inline constexpr std::array<std::uint8_t, 256> OperatorLevel = [] {
    std::array<std::uint8_t, 256> t{};
    t[T_AND] = t[T_OR] = t[T_XOR] = LEVEL_LOGIC;
    t['<'] = t['='] = t['>'] = LEVEL_RELATION;
    t['+'] = t['-'] = LEVEL_SUM;
    t['*'] = t['/'] = LEVEL_TERM;
    t[0x20] = t[0x09] = t[TOK_FILLER] = OP_BLANK;
    return t;
}();
// What a factor's first byte is, for the same purpose.
enum FactorKind : std::uint8_t { F_OTHER, F_GLOBAL, F_LOCAL, F_LITERAL, F_BLANK };
inline constexpr std::array<std::uint8_t, 256> FactorKinds = [] {
    std::array<std::uint8_t, 256> t{};
    for (int b = 'A'; b <= 'Z'; ++b) t[b] = F_GLOBAL;
    for (int b = 'a'; b <= 'z'; ++b) t[b] = F_LOCAL;
    t[TOK_DECIMAL] = t[TOK_HEX] = F_LITERAL;
    t[0x20] = t[0x09] = t[TOK_FILLER] = F_BLANK;
    return t;
}();

inline std::int16_t wrap(std::int32_t v) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
}
// The relations of two bytes, by codes of their own beside the one-byte operators' bytes (statement tokens,
// which never stand for an operator).
inline constexpr std::uint8_t OP_LE = T_FOR;
inline constexpr std::uint8_t OP_NE = T_NEXT;
inline constexpr std::uint8_t OP_GE = T_END;

// left op right, wrapped; op is an operator's byte or one of the codes above. A division by 0 is the
// caller's to rule out. The one table of what the operators do.
inline std::int16_t applyOperator(std::uint8_t op, std::int16_t left, std::int16_t right) {
    switch (op) {
    case '+': return wrap(left + right);
    case '-': return wrap(left - right);
    case '*': return wrap(left * right);
    case '/': return wrap(left / right);
    case '<': return left < right ? -1 : 0;
    case OP_LE: return left <= right ? -1 : 0;
    case OP_NE: return left != right ? -1 : 0;
    case '=': return left == right ? -1 : 0;
    case '>': return left > right ? -1 : 0;
    case OP_GE: return left >= right ? -1 : 0;
    case T_AND: return static_cast<std::int16_t>(left & right);
    case T_OR: return static_cast<std::int16_t>(left | right);
    default: return static_cast<std::int16_t>(left ^ right);
    }
}

inline void Interpreter::srand(std::uint32_t seed) {
    randState = seed;
}
inline int Interpreter::rand() {
    randState = randState * 214013u + 2531011u;
    return static_cast<int>((randState >> 16) & 0x7FFF);
}

inline bool Interpreter::isBlank(std::uint8_t b) {
    return BlankBytes[b];
}

// A local pointer: a byte load may alias readPtr itself, which would force a store per byte.
inline std::uint8_t Interpreter::nextSignificantByte() {
    std::uint8_t* p = readPtr;
    std::uint8_t b = *p;
    while (isBlank(b)) b = *++p;
    readPtr = p + 1;
    return b;
}

// A lone variable or literal, the commonest expression (line numbers, FOR limits, indexes, PRINT items),
// is read here; anything else goes through the operator levels, which give the same value and position.
inline std::int16_t Interpreter::evalExpression() {
    std::uint8_t* p = readPtr;
    std::int16_t v;
    if (!plainFactor(p, v)) {
        readPtr = p;
        return evalLevel(LEVEL_LOGIC);
    }
    std::uint8_t op = OperatorLevel[*p];
    while (op == OP_BLANK) op = OperatorLevel[*++p];
    readPtr = p;
    // An operator follows: a run of them between plain factors is done without the operator levels.
    if (op != 0) return evalBinaryFrom(v);
    return v;
}
// The letter's slot; the index is unsigned so that the letter's offset folds into the address.
inline std::int16_t* Interpreter::localVar(std::uint8_t letter) {
    return localsPtr + (std::size_t{letter} - 'a');
}
inline std::int16_t* Interpreter::globalVar(std::uint8_t letter) {
    return globalVars + (std::size_t{letter} - 'A');
}

inline void Interpreter::beginLine() {
    if (directMode) {
        currentLineNumber = 0;
        return;
    }
    currentLineNumber = load16(readPtr);
    if (traceFlag) traceLine();
    readPtr += 4;
}

inline void Interpreter::setStackDepth(int depth) {
    stackDepth = depth;
    topFrame = depth > 0 ? &controlStack[depth - 1] : &noFrame;
}

inline void Interpreter::releasePlotLock() {
    if (plotLockHeld) [[unlikely]]
        dropPlotLock();
}

inline void Interpreter::lineModeChanged() {
    slowLine = directMode | traceFlag;
}

inline bool Interpreter::inLineBuffer(const std::uint8_t* p) const {
    return p >= lineBuffer && p < lineBuffer + LINE_BUFFER_BYTES;
}
inline void Interpreter::keepContinuePoint(const std::uint8_t* p) {
    contPoint.generation = program.generation();
    contPoint.offset = static_cast<std::uint16_t>(p - program.area);
    contPoint.inTypedLine = false;
}
inline ResumePoint Interpreter::resumePointAt(const std::uint8_t* p) const {
    if (inLineBuffer(p)) return {lineGeneration, static_cast<std::uint16_t>(p - lineBuffer), true};
    return {program.generation(), static_cast<std::uint16_t>(p - program.area), false};
}
inline bool Interpreter::resumeFrame(const ControlFrame& frame) {
    const ResumePoint& at = frame.resume;
    if (at.inTypedLine) {
        if (at.generation != lineGeneration) {
            errCantContinue();
            return false;
        }
        // Leaving the program: CONT would run this RETURN or NEXT (just read) again.
        if (!directMode) keepContinuePoint(readPtr - 1);
        directMode = 1;
        lineModeChanged();
        readPtr = lineBuffer + at.offset;
        return true;
    }
    if (at.generation != program.generation()) {
        errCantContinue();
        return false;
    }
    readPtr = program.area + at.offset;
    return true;
}
inline std::uint8_t* Interpreter::loopVariable(const LoopVariable& v) {
    if (v.kind == LoopVariable::Global) return reinterpret_cast<std::uint8_t*>(globalVars + v.index);
    if (v.kind == LoopVariable::Local)
        return reinterpret_cast<std::uint8_t*>(localsOfLevel(v.level) + v.index);
    return arrayElement(v.index);
}
inline std::int16_t* Interpreter::localsOfLevel(int level) {
    return level == 0 ? topLocals : controlStack[level - 1].locals;
}

template <bool skipBlanks>
[[gnu::always_inline]] inline bool Interpreter::plainFactor(std::uint8_t*& p, std::int16_t& v) const {
    std::uint8_t b = *p;
    std::uint8_t kind = FactorKinds[b];
    if constexpr (skipBlanks) {
        // A global straight away, the commonest factor, pays for no test of blanks.
        if (kind != F_GLOBAL) {
            while (kind == F_BLANK) {
                b = *++p;
                kind = FactorKinds[b];
            }
        }
    }
    if (kind == F_GLOBAL) {
        v = globalVars[std::size_t{b} - 'A'];
        ++p;
        return true;
    }
    if (kind == F_LITERAL) {
        v = static_cast<std::int16_t>(load16(p + 1));
        p += 3;
        return true;
    }
    if (kind == F_LOCAL) {
        v = localsPtr[std::size_t{b} - 'a'];
        ++p;
        return true;
    }
    return false;
}

// The common index, a variable or a literal in range between brackets, is read here; every other index and
// every error goes through readArrayIndexSlow from the start, which reads and reports as always.
[[gnu::always_inline]] inline std::uint8_t* Interpreter::readArrayIndex(std::int16_t& index) {
    std::uint8_t* p = readPtr;
    while (isBlank(*p)) ++p;
    if ((*p == '(' || *p == '[') && shortPaths) {
        ++p;
        std::int16_t i;
        if (plainFactor(p, i)) {
            while (isBlank(*p)) ++p;
            if (*p == ')' || *p == ']') {
                std::uint8_t* const element = program.element(i);
                if (element) {
                    index = i;
                    readPtr = p + 1;
                    return element;
                }
            }
        }
    }
    return readArrayIndexSlow(index);
}

} // namespace tavik
