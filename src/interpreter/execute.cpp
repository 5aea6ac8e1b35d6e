// The engine: walks the token bytes statement by statement and dispatches keyword tokens through the
// statement table. Statements that end a run only set errorFlag and a request; the loop acts on it.
#include "console.h"
#include "interpreter.h"

#include <array>

namespace tavik {

namespace {

// What the statement loop does with a byte: one table lookup and one jump instead of a chain of range tests.
enum ByteAction : std::uint8_t {
    ACT_SYNTAX,
    ACT_BLANK,
    ACT_END,
    ACT_REMARK,
    ACT_ARRAY,
    ACT_PRINT,
    ACT_GLOBAL,
    ACT_LOCAL,
    ACT_STATEMENT,
};

constexpr std::array<std::uint8_t, 256> makeByteActions() {
    std::array<std::uint8_t, 256> a{};
    for (int b = T_IF; b <= T_PSET; ++b) a[b] = ACT_STATEMENT;
    for (int b = 'A'; b <= 'Z'; ++b) a[b] = ACT_GLOBAL;
    for (int b = 'a'; b <= 'z'; ++b) a[b] = ACT_LOCAL;
    a[TOK_END] = ACT_END;
    a[0x20] = a[0x09] = a[':'] = a[TOK_FILLER] = ACT_BLANK;
    a[0x27] = ACT_REMARK;
    a['@'] = ACT_ARRAY;
    a['?'] = ACT_PRINT;
    return a;
}

constexpr std::array<std::uint8_t, 256> ByteActions = makeByteActions();

} // namespace

const Interpreter::Statement Interpreter::StatementTable[STATEMENT_COUNT] = {
    &Interpreter::stIf,     &Interpreter::stPrint,   &Interpreter::stLocate, &Interpreter::stCls,
    &Interpreter::stGoto,   &Interpreter::stGosub,   &Interpreter::stReturn, &Interpreter::stFor,
    &Interpreter::stNext,   &Interpreter::stEnd,     &Interpreter::stBreak,  &Interpreter::stRem,
    &Interpreter::stNew,    &Interpreter::stList,    &Interpreter::stRun,    &Interpreter::stCont,
    &Interpreter::stSave,   &Interpreter::stLoad,    &Interpreter::stMerge,  &Interpreter::stRandomize,
    &Interpreter::stExit,   &Interpreter::stPrint,   &Interpreter::stWaitms, &Interpreter::stWidth,
    &Interpreter::stTron,   &Interpreter::stTroff,   &Interpreter::stOrient, &Interpreter::stFcolor,
    &Interpreter::stBcolor, &Interpreter::stConsole, &Interpreter::stGraph,  &Interpreter::stGcls,
    &Interpreter::stPset,
};

void Interpreter::beginLine() {
    if (directMode) {
        currentLineNumber = 0;
        return;
    }
    currentLineNumber = load16(readPtr);
    if (traceFlag) outFormat(nullptr, u"[%d]", {currentLineNumber});
    readPtr += 4;
}

void Interpreter::reportBreak() {
    outFormat(nullptr, u"Break in %d\a\r\n", {currentLineNumber});
    if (!directMode) contPtr = readPtr;
    errorFlag = 1;
    runRequest = Stop;
    lastStop = StopReason::Break;
}

void Interpreter::executeStatements() {
    breakRequested.store(0, std::memory_order_relaxed);
    for (;;) {
        beginLine();
        if (!directMode && currentLineNumber == 0) {
            runRequest = Stop;
            errorFlag = 1;
            lastStop = StopReason::Ended;
            return;
        }
        for (;;) {
            // Blanks and separators are stepped over with the read position in a register. A break is still
            // answered at each byte. contPtr is written for the byte that acts: a blank's value could never
            // be seen, since the next byte overwrites it and a break writes it itself (reportBreak).
            std::uint8_t* p = readPtr;
            std::uint8_t b;
            std::uint8_t action;
            for (;;) {
                if (breakRequested.load(std::memory_order_relaxed)) {
                    readPtr = p;
                    breakRequested.store(0, std::memory_order_relaxed);
                    reportBreak();
                    return;
                }
                b = *p;
                action = ByteActions[b];
                if (action != ACT_BLANK) break;
                ++p;
            }
            if (!directMode) contPtr = p;
            readPtr = p + 1;
            switch (action) {
            case ACT_GLOBAL: assignFromExpression(reinterpret_cast<std::uint8_t*>(globalVar(b))); break;
            case ACT_LOCAL: assignFromExpression(reinterpret_cast<std::uint8_t*>(localVar(b))); break;
            case ACT_STATEMENT: {
                // Taken out first: GCC 12's bounds check misreads the index of a member-pointer call made
                // straight from the table, which stops every sanitized run.
                const Statement statement = StatementTable[b - T_IF];
                (this->*statement)();
                break;
            }
            case ACT_END:
                if (directMode) return;
                goto nextLine;
            case ACT_REMARK: readPtr = skipToLineEnd(readPtr); continue;
            case ACT_ARRAY: {
                std::uint8_t* target = readArrayRef();
                if (!target) return;
                assignFromExpression(target);
                break;
            }
            case ACT_PRINT: stPrint(); break;
            default: errSyntax(); break;
            }
            if (errorFlag) return;
        }
    nextLine:;
    }
}

} // namespace tavik
