// The engine: walks the token bytes statement by statement and dispatches keyword tokens through the
// statement table. Statements that end a run only set errorFlag and a request; the loop acts on it.
// GOTO, GOSUB/RETURN with their local variables, FOR/NEXT on the shared seven-frame stack and IF/THEN are
// here too, so that the engine runs them without a call through the table.
#include "console.h"
#include "interpreter_inline.h"

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
    // The statements that run most often in a loop, called directly rather than through the table.
    ACT_IF,
    ACT_GOTO,
    ACT_GOSUB,
    ACT_RETURN,
    ACT_NEXT,
    ACT_BREAK,
};

constexpr std::array<std::uint8_t, 256> makeByteActions() {
    std::array<std::uint8_t, 256> a{};
    for (int b = FIRST_STATEMENT_TOKEN; b <= LAST_STATEMENT_TOKEN; ++b) a[b] = ACT_STATEMENT;
    for (int b = 'A'; b <= 'Z'; ++b) a[b] = ACT_GLOBAL;
    for (int b = 'a'; b <= 'z'; ++b) a[b] = ACT_LOCAL;
    a[TOK_END] = ACT_END;
    a[0x20] = a[0x09] = a[':'] = a[TOK_FILLER] = ACT_BLANK;
    a[TOK_APOSTROPHE] = ACT_REMARK;
    a['@'] = ACT_ARRAY;
    a['?'] = ACT_PRINT;
    a[T_IF] = ACT_IF;
    a[T_GOTO] = ACT_GOTO;
    a[T_GOSUB] = ACT_GOSUB;
    a[T_RETURN] = ACT_RETURN;
    a[T_NEXT] = ACT_NEXT;
    a[T_BREAK] = ACT_BREAK;
    return a;
}

constexpr std::array<std::uint8_t, 256> ByteActions = makeByteActions();

} // namespace

const Interpreter::Statement Interpreter::StatementTable[STATEMENT_COUNT] = {
#define TAVIK_STATEMENT_ENTRY(name, handler, spelling) &Interpreter::st##handler,
    TAVIK_STATEMENTS(TAVIK_STATEMENT_ENTRY)
#undef TAVIK_STATEMENT_ENTRY
};

[[gnu::always_inline]] inline void Interpreter::gotoLine(std::uint16_t n) {
    std::uint8_t* record = program.findLine(n);
    if (!record) {
        errLineNotFound(n);
        return;
    }
    readPtr = record;
    directMode = 0;
    beginLine();
}

// The next free frame, resuming at readPtr; none after reporting a full stack (seven frames in use).
ControlFrame* Interpreter::pushFrame(FrameKind kind) {
    if (stackDepth >= STACK_FRAMES) {
        errStackOverflow();
        return nullptr;
    }
    ControlFrame& frame = controlStack[stackDepth++];
    frame.kind = kind;
    frame.resume = resumePointAt(readPtr);
    return &frame;
}

[[gnu::always_inline]] inline void Interpreter::stGoto() {
    const std::int16_t n = evalExpression();
    if (errorFlag) return;
    gotoLine(static_cast<std::uint16_t>(n));
}

void Interpreter::stGosub() {
    const std::uint16_t n = static_cast<std::uint16_t>(evalExpression());
    if (errorFlag) return;
    std::uint8_t* record = program.findLine(n);
    if (!record) {
        errLineNotFound(n);
        return;
    }
    ControlFrame* frame = pushFrame(FrameKind::FRAME_GOSUB);
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
        if (frame.kind != FrameKind::FRAME_GOSUB) continue;
        localsPtr = frame.savedLocals;
        resumeFrame(frame);
        return;
    }
    errStackUnderflow();
}

std::uint8_t Interpreter::localsLevel() const {
    for (int k = 0; k < STACK_FRAMES; ++k)
        if (localsPtr == controlStack[k].locals) return static_cast<std::uint8_t>(k + 1);
    return 0;
}

void Interpreter::stFor() {
    LoopVariable var;
    const std::uint8_t b = nextSignificantByte();
    if (b == '@') {
        var.kind = LoopVariable::Array;
        if (!readArrayIndex(var.index)) return;
    } else if (b >= 'A' && b <= 'Z') {
        var.kind = LoopVariable::Global;
        var.index = static_cast<std::int16_t>(b - 'A');
    } else if (b >= 'a' && b <= 'z') {
        var.kind = LoopVariable::Local;
        var.level = localsLevel();
        var.index = static_cast<std::int16_t>(b - 'a');
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
    std::uint8_t* const target = loopVariable(var);
    if (!target) return;
    ControlFrame* frame = pushFrame(FrameKind::FRAME_FOR);
    if (!frame) return;
    frame->loopVar = var;
    frame->limit = limit;
    frame->step = step;
    store16(target, static_cast<std::uint16_t>(start));
}

[[gnu::always_inline]] inline void Interpreter::stNext() {
    const int depth = stackDepth;
    if (depth == 0 || controlStack[depth - 1].kind != FrameKind::FRAME_FOR) {
        errNextWithoutFor();
        return;
    }
    ControlFrame& frame = controlStack[depth - 1];
    // Read into locals first: the store into the variable could otherwise be taken to change the frame.
    std::uint8_t* const var = loopVariable(frame.loopVar);
    if (!var) return;
    const std::int16_t limit = frame.limit;
    const std::int16_t step = frame.step;
    const std::int16_t value = static_cast<std::int16_t>(load16(var));
    if (value == limit) {
        stackDepth = depth - 1;
        return;
    }
    const std::int16_t next = static_cast<std::int16_t>(static_cast<std::uint16_t>(value + step));
    store16(var, static_cast<std::uint16_t>(next));
    const bool again = step > 0 ? next <= limit : next >= limit;
    if (!again) {
        stackDepth = depth - 1;
        return;
    }
    resumeFrame(frame);
}

void Interpreter::stIf() {
    const std::int16_t c = evalExpression();
    if (errorFlag) return;
    std::uint8_t* p = readPtr;
    while (isBlank(*p)) ++p;
    readPtr = p + 1;
    if (*p != T_THEN) {
        errSyntax();
        return;
    }
    if (c == 0) {
        readPtr = skipToLineEnd(readPtr);
        return;
    }
    ++p;
    while (isBlank(*p)) ++p;
    readPtr = p;
    if (*p == TOK_DECIMAL) stGoto();
}

void Interpreter::traceLine() {
    outFormat(nullptr, u"[%d]", {currentLineNumber});
}

void Interpreter::reportBreak() {
    showMessage(u"Break in %d\a\r\n", {currentLineNumber}, true);
    if (!directMode) keepContinuePoint(readPtr);
    errorFlag = 1;
    runRequest = RunRequest::Stop;
}

void Interpreter::executeStatements() {
    beginLine();
    if (!directMode && currentLineNumber == 0) {
        runRequest = RunRequest::Stop;
        errorFlag = 1;
        return;
    }
    for (;;) {
        // Blanks and separators are stepped over with the read position in a register; the break is
        // answered at the byte that acts, which is where a break among the blanks would resume too.
        // The continue point is written for that byte: a blank's value could never be seen, since the next
        // byte overwrites it and a break writes it itself (reportBreak).
        std::uint8_t* p = readPtr;
        std::uint8_t b = *p;
        std::uint8_t action = ByteActions[b];
        while (action == ACT_BLANK) {
            b = *++p;
            action = ByteActions[b];
        }
#ifdef TAVIK_HOST_YIELDS
        if (--yieldCountdown == 0) [[unlikely]] {
            yieldCountdown = YIELD_STATEMENTS;
            host.yieldSlice();
        }
#endif
        if (breakRequested.load(std::memory_order_relaxed)) {
            readPtr = p;
            breakRequested.store(0, std::memory_order_relaxed);
            reportBreak();
            return;
        }
        readPtr = p + 1;
        switch (action) {
        case ACT_GLOBAL: assignFromExpression(reinterpret_cast<std::uint8_t*>(globalVar(b))); break;
        case ACT_LOCAL: assignFromExpression(reinterpret_cast<std::uint8_t*>(localVar(b))); break;
        case ACT_STATEMENT: {
            // Taken out first: GCC 12's bounds check misreads the index of a member-pointer call made
            // straight from the table, which stops every sanitized run.
            const Statement statement = StatementTable[b - FIRST_STATEMENT_TOKEN];
            (this->*statement)();
            break;
        }
        case ACT_IF: stIf(); break;
        case ACT_GOTO: stGoto(); break;
        case ACT_GOSUB: stGosub(); break;
        case ACT_RETURN: stReturn(); break;
        case ACT_NEXT: stNext(); break;
        // The break names the statement after it as the place to continue: it must not come back here.
        case ACT_BREAK: stBreak(); return;
        case ACT_END: {
            if (directMode) return;
            // The next record follows the end byte directly: its start as beginLine makes it.
            const std::uint16_t n = load16(p + 1);
            currentLineNumber = n;
            if (traceFlag) traceLine();
            readPtr = p + 5;
            if (n == 0) {
                // The end marker of the stored program; CONT meets it again.
                keepContinuePoint(p);
                runRequest = RunRequest::Stop;
                errorFlag = 1;
                return;
            }
            continue;
        }
        case ACT_REMARK: readPtr = skipToLineEnd(readPtr); continue;
        case ACT_ARRAY: {
            std::uint8_t* target = readArrayRef();
            if (target) assignFromExpression(target);
            break;
        }
        case ACT_PRINT: stPrint(); break;
        default: errSyntax(); break;
        }
        if (errorFlag) {
            // The statement at p stopped the run (an error, END, a request): CONT runs it again. Only these
            // stops, the break and a RETURN or NEXT back into the typed line leave the stored program, so the
            // place is written here rather than before every statement.
            if (!directMode && program.contains(p)) keepContinuePoint(p);
            return;
        }
    }
}

} // namespace tavik
