// GOTO, GOSUB/RETURN with their local variables, FOR/NEXT on the shared seven-frame stack, IF/THEN, and the
// statements that only post a request to the loop (END, NEW, EXIT, RUN).
#include "console.h"
#include "interpreter.h"

namespace tavik {

void Interpreter::gotoLine(std::uint16_t n) {
    std::uint8_t* record = findLine(n);
    if (!record) {
        errLineNotFound(n);
        return;
    }
    readPtr = record;
    directMode = 0;
    beginLine();
}

// The next free frame, resuming at readPtr; none after reporting a full stack (seven frames in use).
ControlFrame* Interpreter::pushFrame(std::int16_t kind) {
    if (stackDepth + 1 >= 8) {
        errStackOverflow();
        return nullptr;
    }
    ControlFrame& frame = controlStack[stackDepth++];
    frame.kind = kind;
    frame.resume = readPtr;
    frame.resumeGeneration = lineGeneration;
    return &frame;
}

void Interpreter::stGoto() {
    const std::int16_t n = evalExpression();
    if (errorFlag) return;
    gotoLine(static_cast<std::uint16_t>(n));
}

void Interpreter::stGosub() {
    const std::uint16_t n = static_cast<std::uint16_t>(evalExpression());
    if (errorFlag) return;
    std::uint8_t* record = findLine(n);
    if (!record) {
        errLineNotFound(n);
        return;
    }
    ControlFrame* frame = pushFrame(FRAME_GOSUB);
    if (!frame) return;
    frame->savedLocals = localsPtr;
    localsPtr = frame->locals;
    readPtr = record;
    directMode = 0;
    beginLine();
}

void Interpreter::stReturn() {
    if (stackDepth == 0) {
        errStackUnderflow();
        return;
    }
    while (stackDepth > 0) {
        ControlFrame& frame = controlStack[--stackDepth];
        if (frame.kind != FRAME_GOSUB) continue;
        localsPtr = frame.savedLocals;
        if (inLineBuffer(frame.resume)) {
            // A typed line that has since been replaced is gone: its bytes must not run.
            if (frame.resumeGeneration != lineGeneration) {
                errCantContinue();
                return;
            }
            directMode = 1;
        }
        readPtr = frame.resume;
        return;
    }
    errStackUnderflow();
}

void Interpreter::stFor() {
    std::uint8_t* var;
    const std::uint8_t b = nextSignificantByte();
    if (b == '@') {
        var = readArrayRef();
        if (!var) return;
    } else if (b >= 'A' && b <= 'Z') {
        var = reinterpret_cast<std::uint8_t*>(globalVar(b));
    } else if (b >= 'a' && b <= 'z') {
        var = reinterpret_cast<std::uint8_t*>(localVar(b));
    } else {
        errSyntax();
        return;
    }
    if (nextSignificantByte() != '=') {
        errSyntax();
        return;
    }
    const std::int16_t start = evalExpression();
    if (errorFlag) return;
    if (nextSignificantByte() != T_TO) {
        errSyntax();
        return;
    }
    const std::int16_t limit = evalExpression();
    if (errorFlag) return;
    std::int16_t step = 1;
    if (nextSignificantByte() == T_STEP) {
        step = evalExpression();
        if (errorFlag) return;
    } else {
        --readPtr;
    }
    ControlFrame* frame = pushFrame(FRAME_FOR);
    if (!frame) return;
    frame->loopVar = var;
    frame->limit = limit;
    frame->step = step;
    store16(var, static_cast<std::uint16_t>(start));
}

void Interpreter::stNext() {
    if (stackDepth == 0 || controlStack[stackDepth - 1].kind != FRAME_FOR) {
        errNextWithoutFor();
        return;
    }
    ControlFrame& frame = controlStack[stackDepth - 1];
    const std::int16_t value = static_cast<std::int16_t>(load16(frame.loopVar));
    if (value == frame.limit) {
        --stackDepth;
        return;
    }
    const std::int16_t next = static_cast<std::int16_t>(static_cast<std::uint16_t>(value + frame.step));
    store16(frame.loopVar, static_cast<std::uint16_t>(next));
    const bool again = frame.step > 0 ? next <= frame.limit : next >= frame.limit;
    if (!again) {
        --stackDepth;
        return;
    }
    if (inLineBuffer(frame.resume)) {
        if (frame.resumeGeneration != lineGeneration) {
            errCantContinue();
            return;
        }
        // Looping back into the typed line runs it as typed, to its own end.
        directMode = 1;
    }
    readPtr = frame.resume;
}

void Interpreter::stIf() {
    const std::int16_t c = evalExpression();
    if (errorFlag) return;
    if (nextSignificantByte() != T_THEN) {
        errSyntax();
        return;
    }
    if (c == 0) {
        readPtr = skipToLineEnd(readPtr);
        return;
    }
    while (*readPtr == 0x20 || *readPtr == 0x09 || *readPtr == TOK_FILLER) ++readPtr;
    if (*readPtr == TOK_DECIMAL) stGoto();
}

void Interpreter::stBreak() {
    reportBreak();
}

void Interpreter::stRem() {
    readPtr = skipToLineEnd(readPtr);
}

void Interpreter::stCont() {
    if (!contPtr) {
        errCantContinue();
        return;
    }
    readPtr = contPtr;
    directMode = 0;
    lastStop = StopReason::Running;
}

void Interpreter::stRun() {
    const std::uint8_t b = nextSignificantByte();
    if (b == ':' || b == TOK_END || b == 0x27) {
        --readPtr;
        runStartLine = 0;
        runRequest = RunFromLine;
    } else if (b == TOK_STRING) {
        // A name too long for the buffer would be cut to another file's name: refused whole.
        if (static_cast<std::size_t>(readStringLiteral(sourceLine, FILE_NAME_UNITS)) > MAX_FILE_NAME_UNITS) {
            errLoad();
            return;
        }
        runRequest = RunFile;
    } else {
        --readPtr;
        const std::int16_t n = evalExpression();
        if (errorFlag) return;
        runStartLine = static_cast<std::uint16_t>(n);
        runRequest = RunFromLine;
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
    runRequest = Stop;
    lastStop = StopReason::Ended;
}
void Interpreter::stNew() {
    errorFlag = 1;
    runRequest = New;
    lastStop = StopReason::Ended;
}
void Interpreter::stExit() {
    errorFlag = 1;
    runRequest = Exit;
    lastStop = StopReason::Ended;
}

} // namespace tavik
