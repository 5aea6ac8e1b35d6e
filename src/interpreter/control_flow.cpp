// BREAK, REM, CONT, TRON/TROFF and the statements that only post a request to the loop (END, NEW, EXIT, RUN).
// The statements that steer the run (GOTO, GOSUB/RETURN, FOR/NEXT, IF) live with the engine in execute.cpp.
#include "console.h"
#include "interpreter_inline.h"

namespace tavik {

void Interpreter::stBreak() {
    reportBreak();
}

void Interpreter::stRem() {
    readPtr = skipToLineEnd(readPtr);
}

void Interpreter::stCont() {
    // The program changed since it stopped (or never ran): the place named is gone.
    if (contPoint.generation != program.generation()) {
        errCantContinue();
        return;
    }
    readPtr = program.area + contPoint.offset;
    directMode = 0;
}

void Interpreter::stRun() {
    const std::uint8_t b = nextSignificantByte();
    if (endsStatement(b)) {
        --readPtr;
        runStartLine = 0;
        runRequest = RunRequest::RunFromLine;
    } else if (b == TOK_STRING) {
        --readPtr;
        requestFile(RunRequest::RunFile);
        return;
    } else {
        --readPtr;
        const std::int16_t n = evalExpression();
        if (errorFlag) return;
        runStartLine = static_cast<std::uint16_t>(n);
        runRequest = RunRequest::RunFromLine;
    }
    errorFlag = 1;
}

void Interpreter::stTron() {
    traceFlag = 1;
}
void Interpreter::stTroff() {
    traceFlag = 0;
}

void Interpreter::stEnd() {
    errorFlag = 1;
    runRequest = RunRequest::Stop;
}
void Interpreter::stNew() {
    errorFlag = 1;
    runRequest = RunRequest::New;
}
void Interpreter::stExit() {
    errorFlag = 1;
    runRequest = RunRequest::Exit;
}

} // namespace tavik
