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
// The statements that run most often in a loop (IF .. BREAK) are called directly rather than through the
// statement table. The one list of the loop's actions: the enum, and the jump table where the loop jumps by
// computed goto. The GENERAL_ actions are the general ways of assignments, IF, GOTO and GOSUB, for a run
// without the short ways (GeneralByteActions).
#define TAVIK_BYTE_ACTIONS(X)                                                                                \
    X(SYNTAX)                                                                                                \
    X(BLANK)                                                                                                 \
    X(END)                                                                                                   \
    X(REMARK)                                                                                                \
    X(ARRAY)                                                                                                 \
    X(PRINT)                                                                                                 \
    X(GLOBAL)                                                                                                \
    X(LOCAL)                                                                                                 \
    X(STATEMENT)                                                                                             \
    X(IF)                                                                                                    \
    X(GOTO)                                                                                                  \
    X(GOSUB)                                                                                                 \
    X(RETURN)                                                                                                \
    X(NEXT)                                                                                                  \
    X(BREAK)                                                                                                 \
    X(PSET)                                                                                                  \
    X(GENERAL_GLOBAL)                                                                                        \
    X(GENERAL_LOCAL)                                                                                         \
    X(GENERAL_ARRAY)                                                                                         \
    X(GENERAL_IF)                                                                                            \
    X(GENERAL_GOTO)                                                                                          \
    X(GENERAL_GOSUB)

enum ByteAction : std::uint8_t {
#define TAVIK_ACTION_ENUM(name) ACT_##name,
    TAVIK_BYTE_ACTIONS(TAVIK_ACTION_ENUM)
#undef TAVIK_ACTION_ENUM
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
    a[T_PSET] = ACT_PSET;
    return a;
}

constexpr std::array<std::uint8_t, 256> ByteActions = makeByteActions();

// The table of a run without the short ways (see shortPaths); NEXT's short way is off with them, since no FOR
// then fills in its body.
constexpr std::array<std::uint8_t, 256> GeneralByteActions = [] {
    std::array<std::uint8_t, 256> a = makeByteActions();
    for (int b = 'A'; b <= 'Z'; ++b) a[b] = ACT_GENERAL_GLOBAL;
    for (int b = 'a'; b <= 'z'; ++b) a[b] = ACT_GENERAL_LOCAL;
    a['@'] = ACT_GENERAL_ARRAY;
    a[T_IF] = ACT_GENERAL_IF;
    a[T_GOTO] = ACT_GENERAL_GOTO;
    a[T_GOSUB] = ACT_GENERAL_GOSUB;
    return a;
}();

} // namespace

const Interpreter::Statement Interpreter::StatementTable[STATEMENT_COUNT] = {
#define TAVIK_STATEMENT_ENTRY(name, handler, spelling) &Interpreter::st##handler,
    TAVIK_STATEMENTS(TAVIK_STATEMENT_ENTRY)
#undef TAVIK_STATEMENT_ENTRY
};

// A plain factor, or @() of a plain factor in range, at p (blanks first): its value in v, p past it.
// False for anything else, with nothing reported.
[[gnu::always_inline]] inline bool Interpreter::quickOperand(std::uint8_t*& p, std::int16_t& v) {
    if (plainFactor(p, v)) return true;
    if (*p != '@') return false;
    std::uint8_t* q = p + 1;
    while (isBlank(*q)) ++q;
    if (*q != '(' && *q != '[') return false;
    ++q;
    std::int16_t i;
    if (!plainFactor(q, i)) return false;
    while (isBlank(*q)) ++q;
    if (*q != ')' && *q != ']') return false;
    const std::uint8_t* const element = program.element(i);
    if (!element) return false;
    v = static_cast<std::int16_t>(load16(element));
    p = q + 1;
    return true;
}

// A quick operand, or one negated: `[-]F`.
[[gnu::always_inline]] inline bool Interpreter::quickSigned(std::uint8_t*& p, std::int16_t& v) {
    if (quickOperand(p, v)) return true;
    if (*p != '-') return false;
    ++p;
    if (!quickOperand(p, v)) return false;
    v = wrap(-v);
    return true;
}

namespace {
// A line number literal at `at` with nothing after it but blanks before a byte that is no operator: true,
// with `after` where evalExpression would leave readPtr.
[[gnu::always_inline]] inline bool lineNumberAlone(std::uint8_t* at, std::uint8_t*& after) {
    if (*at != TOK_DECIMAL) return false;
    std::uint8_t* q = at + 3;
    int level = OperatorLevel[*q];
    while (level == OP_BLANK) level = OperatorLevel[*++q];
    after = q;
    return level == 0;
}

// left = left op right, the commonest first; false, with nothing done, for a division by 0.
[[gnu::always_inline]] inline bool quickApply(std::uint8_t op, std::int16_t& left, std::int16_t right) {
    if (op == '+')
        left = wrap(left + right);
    else if (op == '-')
        left = wrap(left - right);
    else if (op == '/' && right == 0) [[unlikely]]
        return false;
    else
        left = applyOperator(op, left, right);
    return true;
}
} // namespace

// The operator at p past blanks: its level in `level` (0 for no operator), its code in `op` (the relations of
// two bytes by theirs), p past it; or, for no operator, p on the byte that ends the expression.
[[gnu::always_inline]] inline void Interpreter::quickOperator(std::uint8_t*& p, std::uint8_t& op,
                                                              int& level) {
    std::uint8_t b = *p;
    int l = OperatorLevel[b];
    while (l == OP_BLANK) l = OperatorLevel[b = *++p];
    level = l;
    op = b;
    if (l == 0) return;
    ++p;
    // The second byte of <=, <> or >= may stand after blanks, as the evaluator reads it; looked for only when
    // an operator or a blank follows, not before the variable or literal that usually does.
    if (l == LEVEL_RELATION && b != '=' && OperatorLevel[*p] >= LEVEL_RELATION) {
        std::uint8_t* r = p;
        while (isBlank(*r)) ++r;
        if (*r == '=') {
            op = b == '<' ? OP_LE : OP_GE;
            p = r + 1;
        } else if (*r == '>' && b == '<') {
            op = OP_NE;
            p = r + 1;
        }
    }
}

// An expression whose every operand is a quick one: its value in v and p past it (and the blanks after it),
// exactly as evalExpression leaves readPtr. False, with nothing reported, for anything else and wherever an
// operation could fail (a division by 0): the evaluator then reads the whole expression again from the start,
// which gives the same value or reports the error in its own order, since a quick operand neither fails nor
// changes anything. `[-]F` and `[-]F op F` are worked here; longer ones in quickExpressionRest.
[[gnu::always_inline]] inline bool Interpreter::quickExpression(std::uint8_t*& p, std::int16_t& v) {
    std::uint8_t* q = p;
    std::int16_t left;
    if (!quickSigned(q, left)) return false;
    std::uint8_t op;
    int level;
    quickOperator(q, op, level);
    if (level != 0) {
        std::int16_t right;
        if (!quickSigned(q, right)) return false;
        std::uint8_t nextOp;
        int nextLevel;
        quickOperator(q, nextOp, nextLevel);
        if (nextLevel != 0) {
            const QuickValue rest = quickExpressionRest(q, left, op, level, right, nextOp, nextLevel);
            if (!rest.end) return false;
            p = rest.end;
            v = rest.value;
            return true;
        }
        if (!quickApply(op, left, right)) return false;
    }
    p = q;
    v = left;
    return true;
}

// quickExpression past `left op right nextOp`, q past nextOp. The operators are applied as the evaluator's
// levels apply them: at once while the next one binds no tighter (K/2*3+4-5 left to right); before a tighter
// one, the value so far and its operator wait, at most one a level, and are taken up again when an operator
// as loose as theirs, or the end, comes.
// Its value and the position past it, or no position where quickExpression gives up. (Returned rather than
// written through references, so that the caller's read position stays in a register.)
QuickValue Interpreter::quickExpressionRest(std::uint8_t* q, std::int16_t left, std::uint8_t op, int level,
                                            std::int16_t right, std::uint8_t nextOp, int nextLevel) {
    std::int16_t values[LEVEL_TERM];
    std::uint8_t ops[LEVEL_TERM];
    int levels[LEVEL_TERM];
    int waiting = 0;
    for (;;) {
        if (nextLevel > level) {
            values[waiting] = left;
            ops[waiting] = op;
            levels[waiting] = level;
            ++waiting;
            left = right;
        } else {
            if (!quickApply(op, left, right)) return {};
            while (waiting > 0 && levels[waiting - 1] >= nextLevel) {
                --waiting;
                std::int16_t value = values[waiting];
                if (!quickApply(ops[waiting], value, left)) return {};
                left = value;
            }
            if (nextLevel == 0) break;
        }
        op = nextOp;
        level = nextLevel;
        if (!quickSigned(q, right)) return {};
        quickOperator(q, nextOp, nextLevel);
    }
    return {q, left};
}

// `= expression` at q with a quick expression: its value in v and the position past it (and its blanks);
// none, with nothing read, for assignFromExpression. The caller stores the value.
[[gnu::always_inline]] inline std::uint8_t* Interpreter::quickAssign(std::uint8_t* q, std::int16_t& v) {
    if (*q != '=') {
        while (isBlank(*q)) ++q;
        if (*q != '=') return nullptr;
    }
    ++q;
    if (!quickExpression(q, v)) return nullptr;
    return q;
}

[[gnu::always_inline]] inline void Interpreter::gotoLine(std::uint16_t n) {
    std::uint8_t* record = program.findLine(n);
    if (!record) {
        errLineNotFound(n);
        return;
    }
    readPtr = record;
    directMode = 0;
    lineModeChanged();
    releasePlotLock();
    beginLine();
}

// The next free frame, resuming at readPtr; none after reporting a full stack (seven frames in use).
ControlFrame* Interpreter::pushFrame(FrameKind kind) {
    if (stackDepth >= STACK_FRAMES) {
        errStackOverflow();
        return nullptr;
    }
    ControlFrame& frame = controlStack[stackDepth];
    setStackDepth(stackDepth + 1);
    frame.kind = kind;
    frame.resume = resumePointAt(readPtr);
    // A NEXT goes straight in only through a frame its FOR has just filled in (findLoopBody).
    frame.bodyGeneration = 0;
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
    lineModeChanged();
    releasePlotLock();
    beginLine();
}

void Interpreter::stReturn() {
    releasePlotLock();
    if (stackDepth == 0) {
        errStackUnderflow();
        return;
    }
    while (stackDepth > 0) {
        ControlFrame& frame = controlStack[stackDepth - 1];
        setStackDepth(stackDepth - 1);
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
    frame->counter = var.kind == LoopVariable::Array ? nullptr : reinterpret_cast<std::int16_t*>(target);
    findLoopBody(*frame);
    store16(target, static_cast<std::uint16_t>(start));
}

// From the statement after the FOR over blanks, separators and the ends of lines, as the statement loop would
// step; a body that would start with the end of the program, or a FOR in the typed line, has none.
void Interpreter::findLoopBody(ControlFrame& frame) const {
    frame.bodyGeneration = 0;
    frame.bodyOffset = 0;
    frame.bodyLine = 0;
    if (frame.resume.inTypedLine || !frame.counter || !shortPaths) return;
    const std::uint8_t* p = readPtr;
    std::uint16_t line = 0;
    for (;;) {
        while (ByteActions[*p] == ACT_BLANK) ++p;
        if (*p != TOK_END) break;
        line = load16(p + 1);
        if (line == 0) return;
        p += 5;
    }
    frame.bodyGeneration = frame.resume.generation;
    frame.bodyOffset = static_cast<std::uint16_t>(p - program.area);
    frame.bodyLine = line;
}

// NEXT the general way; the executor takes the short way first (see executeStatements).
void Interpreter::stNext() {
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
        setStackDepth(depth - 1);
        return;
    }
    const std::int16_t next = static_cast<std::int16_t>(static_cast<std::uint16_t>(value + step));
    store16(var, static_cast<std::uint16_t>(next));
    const bool again = step > 0 ? next <= limit : next >= limit;
    if (!again) {
        setStackDepth(depth - 1);
        return;
    }
    resumeFrame(frame);
}

// IF the general way, for every condition that is no quick expression (the executor tries that first).
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

// The loop jumps to its actions by computed goto where the compiler has it (GCC, Clang) and by a switch
// elsewhere; both come from TAVIK_BYTE_ACTIONS and share every line of the actions.
#if defined(__GNUC__)
#define TAVIK_COMPUTED_GOTO 1
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#endif

void Interpreter::executeStatements() {
    // However the run stops, PSET's hold on the console ends with it.
    struct PlotLockRelease {
        Interpreter& in;
        ~PlotLockRelease() { in.releasePlotLock(); }
    } plotLockRelease{*this};
#ifdef TAVIK_COMPUTED_GOTO
    static void* const Actions[] = {
#define TAVIK_ACTION_LABEL(name) &&on_##name,
        TAVIK_BYTE_ACTIONS(TAVIK_ACTION_LABEL)
#undef TAVIK_ACTION_LABEL
    };
#define TAVIK_DISPATCH(action) goto* Actions[action];
#define TAVIK_ON(name) on_##name
#else
#define TAVIK_DISPATCH(action) switch (action)
#define TAVIK_ON(name) case ACT_##name
#endif
    lineModeChanged();
    beginLine();
    if (!directMode && currentLineNumber == 0) {
        runRequest = RunRequest::Stop;
        errorFlag = 1;
        return;
    }
    // The read position of the loop, p, stays in a register from one statement to the next where a short way
    // knows where the next one starts; everything else leaves it in readPtr.
    std::uint8_t* p;
    std::uint8_t b;
    std::uint8_t action;
    const std::uint8_t* const actions = shortPaths ? ByteActions.data() : GeneralByteActions.data();
    std::uint8_t* target; // an assignment's variable
    std::uint8_t* rest;   // and what follows the variable
    std::uint8_t* at;     // the target of a GOTO, GOSUB or THEN
    std::uint8_t* record; // the line it enters
    for (;;) {
        p = readPtr;
    at_p:
        // Blanks and separators are stepped over with the read position in a register; the break is
        // answered at the byte that acts, which is where a break among the blanks would resume too.
        // The continue point is written for that byte: a blank's value could never be seen, since the next
        // byte overwrites it and a break writes it itself (reportBreak).
        b = *p;
        action = actions[b];
        while (action == ACT_BLANK) {
            b = *++p;
            action = actions[b];
        }
#ifdef TAVIK_HOST_YIELDS
    poll:
        if (--yieldCountdown == 0) [[unlikely]] {
            yieldCountdown = YIELD_STATEMENTS;
            readPtr = p;
            host.yieldSlice();
        }
#endif
        if (breakRequested.load(std::memory_order_relaxed)) {
        break_at_p:
            readPtr = p;
            breakRequested.store(0, std::memory_order_relaxed);
            reportBreak();
            return;
        }
#ifndef TAVIK_HOST_YIELDS
    polled:
#endif
        // Each action that reads on through readPtr starts it past the byte; the short ways read from p.
        TAVIK_DISPATCH(action) {
            TAVIK_ON(GLOBAL) : target = reinterpret_cast<std::uint8_t*>(globalVar(b));
            rest = p + 1;
            goto assign;
            TAVIK_ON(LOCAL) : target = reinterpret_cast<std::uint8_t*>(localVar(b));
            rest = p + 1;
            goto assign;
            TAVIK_ON(ARRAY) : readPtr = p + 1;
            target = readArrayRef();
            if (!target) goto done;
            rest = readPtr;
            goto assign;
            TAVIK_ON(STATEMENT) : {
                // Taken out first: GCC 12's bounds check misreads the index of a member-pointer call made
                // straight from the table, which stops every sanitized run.
                readPtr = p + 1;
                releasePlotLock();
                const Statement statement = StatementTable[b - FIRST_STATEMENT_TOKEN];
                (this->*statement)();
                // CONT, TRON, TROFF and the like change how lines start.
                lineModeChanged();
                goto done;
            }
            TAVIK_ON(IF) : {
                // A quick condition is worked here and the statement after THEN follows at once; anything
                // else (and every error) is the general IF's, which reads the condition again from the start.
                std::uint8_t* q = p + 1;
                std::int16_t c;
                if (!quickExpression(q, c) || *q != T_THEN) {
                    readPtr = p + 1;
                    stIf();
                    goto done;
                }
                ++q;
                if (c == 0) {
                    p = skipToLineEnd(q);
                    goto at_p;
                }
                while (isBlank(*q)) ++q;
                if (*q == TOK_DECIMAL) {
                    at = q;
                    goto jump;
                }
                p = q;
                goto at_p;
            }
            TAVIK_ON(GOTO) : at = p + 1;
            while (isBlank(*at)) ++at;
            goto jump;
            TAVIK_ON(GOSUB) : {
                // A line number alone, a line that is there and room on the stack: the subroutine's line is
                // entered here. Anything else is the general GOSUB's, which reads the target again.
                at = p + 1;
                while (isBlank(*at)) ++at;
                std::uint8_t* after;
                if (lineNumberAlone(at, after) && stackDepth < STACK_FRAMES) {
                    record = program.findLine(load16(at + 1));
                    if (record) {
                        readPtr = after;
                        ControlFrame* const frame = pushFrame(FrameKind::FRAME_GOSUB);
                        frame->savedLocals = localsPtr;
                        localsPtr = frame->locals;
                        goto enter_record;
                    }
                }
                readPtr = p + 1;
                stGosub();
                goto done;
            }
            TAVIK_ON(RETURN) : readPtr = p + 1;
            stReturn();
            goto done;
            TAVIK_ON(NEXT) : {
                // The short way: the variable's slot at hand and a jump straight into the body, while the
                // program is the one the FOR ran in and no line start needs more than its number. A pending
                // break takes the long way, back to the FOR's own end, so that it is met at the same byte as
                // always; otherwise the body's first statement runs at once, the break just polled.
                ControlFrame* const frame = topFrame;
                if (frame->bodyGeneration != program.generation() || slowLine) {
                    readPtr = p + 1;
                    stNext();
                    goto done;
                }
                std::int16_t* const counter = frame->counter;
                const std::int16_t limit = frame->limit;
                const std::int16_t step = frame->step;
                const std::int16_t value = *counter;
                if (value != limit) {
                    const std::int16_t next = wrap(value + step);
                    *counter = next;
                    // Two branches rather than one on a flag that each arm would set.
                    if (step > 0) {
                        if (next > limit) goto loop_ends;
                    } else if (next < limit) {
                        goto loop_ends;
                    }
                    {
                        if (breakRequested.load(std::memory_order_relaxed)) [[unlikely]] {
                            readPtr = program.area + frame->resume.offset;
                            continue;
                        }
                        if (frame->bodyLine != 0) [[likely]]
                            currentLineNumber = frame->bodyLine;
                        if (plotLockHeld && ++plotLockCount >= PLOT_LOCK_STATEMENTS) dropPlotLock();
                        p = program.area + frame->bodyOffset;
                        b = *p;
                        action = actions[b];
#ifdef TAVIK_HOST_YIELDS
                        goto poll;
#else
                        goto polled;
#endif
                    }
                }
            loop_ends:
                setStackDepth(stackDepth - 1);
                ++p;
                goto at_p;
            }
            // The break names the statement after it as the place to continue: it must not come back here.
            TAVIK_ON(BREAK) : readPtr = p + 1;
            stBreak();
            return;
            TAVIK_ON(END) : {
            line_end:
                // The next record follows the end byte directly: its start as beginLine makes it.
                const std::uint16_t n = load16(p + 1);
                if (slowLine) [[unlikely]] {
                    if (directMode) {
                        readPtr = p + 1;
                        return;
                    }
                    currentLineNumber = n;
                    traceLine();
                } else {
                    currentLineNumber = n;
                }
                if (n == 0) {
                    // The end marker of the stored program; CONT meets it again.
                    readPtr = p + 5;
                    keepContinuePoint(p);
                    runRequest = RunRequest::Stop;
                    errorFlag = 1;
                    return;
                }
                p += 5;
                goto at_p;
            }
            TAVIK_ON(REMARK) : readPtr = skipToLineEnd(p + 1);
            continue;
            TAVIK_ON(PRINT) : readPtr = p + 1;
            releasePlotLock();
            stPrint();
            goto done;
            TAVIK_ON(PSET) : readPtr = p + 1;
            stPset();
            goto done;
            TAVIK_ON(GENERAL_GLOBAL) : readPtr = p + 1;
            assignFromExpression(reinterpret_cast<std::uint8_t*>(globalVar(b)));
            goto done;
            TAVIK_ON(GENERAL_LOCAL) : readPtr = p + 1;
            assignFromExpression(reinterpret_cast<std::uint8_t*>(localVar(b)));
            goto done;
            TAVIK_ON(GENERAL_ARRAY) : readPtr = p + 1;
            target = readArrayRef();
            if (target) assignFromExpression(target);
            goto done;
            TAVIK_ON(GENERAL_IF) : readPtr = p + 1;
            stIf();
            goto done;
            TAVIK_ON(GENERAL_GOTO) : readPtr = p + 1;
            stGoto();
            goto done;
            TAVIK_ON(GENERAL_GOSUB) : readPtr = p + 1;
            stGosub();
            goto done;
            TAVIK_ON(BLANK)
                : // never: blanks were stepped over
                  TAVIK_ON(SYNTAX) : readPtr = p + 1;
            errSyntax();
            goto done;
        }
    jump:
        // GOTO, or THEN and a line: a line number alone, of a line that is there, is entered here; anything
        // else (and every error) is the general GOTO's, which reads the target again from `at`.
        if (std::uint8_t * after; lineNumberAlone(at, after)) {
            record = program.findLine(load16(at + 1));
            if (record) goto enter_record;
        }
        readPtr = at;
        stGoto();
        goto done;
    enter_record:
        // As gotoLine enters a line.
        directMode = 0;
        slowLine = traceFlag;
        releasePlotLock();
        currentLineNumber = load16(record);
        if (traceFlag) [[unlikely]] {
            readPtr = record;
            traceLine();
        }
        p = record + 4;
        goto at_p;
    assign:
        if (std::int16_t v; std::uint8_t* const next = quickAssign(rest, v)) {
            p = next;
            // Looked at before the store, which for all the compiler knows could change it.
            const bool endsLine = *p == TOK_END;
            store16(target, static_cast<std::uint16_t>(v));
            // An assignment that ends its line goes to the line's end at once, the break polled there as at
            // any byte that acts.
            if (endsLine) {
#ifdef TAVIK_HOST_YIELDS
                // The statement counts towards the host's turn; the loop's own way hands it over.
                if (yieldCountdown == 1) {
                    action = ACT_END;
                    goto poll;
                }
                --yieldCountdown;
#endif
                if (breakRequested.load(std::memory_order_relaxed)) [[unlikely]]
                    goto break_at_p;
                goto line_end;
            }
            goto at_p;
        }
        readPtr = rest;
        assignFromExpression(target);
    done:
        if (errorFlag) {
            // The statement at p stopped the run (an error, END, a request): CONT runs it again. Only these
            // stops, the break and a RETURN or NEXT back into the typed line leave the stored program, so the
            // place is written here rather than before every statement.
            if (!directMode && program.contains(p)) keepContinuePoint(p);
            return;
        }
    }
#undef TAVIK_DISPATCH
#undef TAVIK_ON
}

#ifdef TAVIK_COMPUTED_GOTO
#pragma GCC diagnostic pop
#endif

} // namespace tavik
