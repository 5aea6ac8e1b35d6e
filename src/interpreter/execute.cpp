// The engine: walks the token bytes statement by statement and dispatches keyword tokens through the
// statement table. Statements that end a run only set errorFlag and a request; the loop acts on it.
#include "console.h"
#include "interpreter.h"

namespace tavik {

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
            if (!directMode) contPtr = readPtr;
            if (breakRequested.load(std::memory_order_relaxed)) {
                breakRequested.store(0, std::memory_order_relaxed);
                reportBreak();
                return;
            }
            const std::uint8_t b = *readPtr++;
            if (b >= 0x80 && b <= T_PSET) {
                (this->*StatementTable[b - 0x80])();
            } else if (b >= 'A' && b <= 'Z') {
                assignFromExpression(reinterpret_cast<std::uint8_t*>(globalVar(b)));
            } else if (b >= 'a' && b <= 'z') {
                assignFromExpression(reinterpret_cast<std::uint8_t*>(localVar(b)));
            } else {
                switch (b) {
                case TOK_END:
                    if (directMode) return;
                    goto nextLine;
                case 0x20:
                case 0x09:
                case ':':
                case TOK_FILLER: continue;
                case 0x27: readPtr = skipToLineEnd(readPtr); continue;
                case '@': {
                    std::uint8_t* target = readArrayRef();
                    if (!target) return;
                    assignFromExpression(target);
                    break;
                }
                case '?': stPrint(); break;
                default: errSyntax(); break;
                }
            }
            if (errorFlag) return;
        }
    nextLine:;
    }
}

} // namespace tavik
