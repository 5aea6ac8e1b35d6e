#pragma once
// What the interpreter holds: the program, the buffers, the variables, the control stack and the flags of a
// run. Only data here; the operations are in interpreter.h, the ones on the hot path in interpreter_inline.h.
#include "format.h"
#include "host.h"
#include "program_io.h"
#include "program_store.h"
#include "tokenizer.h"
#include "tokens.h"

#include <atomic>
#include <cstdint>

namespace tavik {

class Console;

constexpr int FILE_NAME_UNITS = 260;
constexpr int STACK_FRAMES = 7;
// INPUTs that may wait at once: an answer is an expression, which may itself call INPUT.
constexpr int INPUT_NESTING = 8;
constexpr const char16_t* VERSION_TEXT = u"0.03";

// What the interpreter loop does next; set together with errorFlag.
enum class RunRequest : int {
    None = 0,
    Stop = 1,
    RunFromLine = 2,
    RunFile = 3,
    New = 4,
    LoadFile = 5,
    Exit = 6,
    MergeFile = 7,
};

enum class FrameKind : std::int16_t { FRAME_FREE = 0, FRAME_GOSUB = 1, FRAME_FOR = 2 };

// A read position kept past the statement that made it: an offset into the stored program or into the typed
// line, with the generation of the one it points into. It is followed only while that generation lasts: the
// records move when a line is entered, and the typed line is replaced by the next one.
struct ResumePoint {
    std::uint32_t generation = 0; // 0: no position
    std::uint16_t offset = 0;
    bool inTypedLine = false;
};

// The variable a FOR loop counts in, by name: a global, a local of the level that ran the FOR (0 the top
// level, k the subroutine whose frame is at index k - 1), or an array element by index, found again at each
// NEXT because the array starts where the program ends.
struct LoopVariable {
    enum Kind : std::uint8_t { Global, Local, Array };
    Kind kind = Global;
    std::uint8_t level = 0;
    std::int16_t index = 0;
};

struct ControlFrame {
    FrameKind kind = FrameKind::FRAME_FREE;
    ResumePoint resume;
    std::int16_t* savedLocals = nullptr; // a block of the interpreter's own, which no program change moves
    std::int16_t locals[26] = {};
    LoopVariable loopVar;
    std::int16_t limit = 0;
    std::int16_t step = 0;
    // What a FOR frame made in the stored program finds at once, for a NEXT that runs while the program's
    // generation is bodyGeneration (0: never): the variable's own slot (a global or a local; none for an
    // array element, found again at each NEXT), the offset of the body's first statement past blanks and
    // line ends, and the line it stands in when that is a later line than the FOR's (0: the FOR's own line).
    std::uint32_t bodyGeneration = 0;
    std::int16_t* counter = nullptr;
    std::uint16_t bodyOffset = 0;
    std::uint16_t bodyLine = 0;
};

struct InterpreterState {
    InterpreterState(Console& c, Host& h) : console(c), host(h) {}

    // Raised by another thread (BREAK, Ctrl-C, a menu command); tested and cleared before each statement.
    std::atomic<int> breakRequested{0};

    Console& console;
    Host& host;

    // --- program store ---
    ProgramStore program;

    // --- loop and buffers ---
    alignas(8) std::uint8_t lineBuffer[LINE_BUFFER_BYTES];
    // Line input asks for SOURCE_LINE_UNITS units; the buffer also holds the longest file name a host passes.
    char16_t sourceLine[FILE_NAME_UNITS] = {};
    char16_t currentFileName[FILE_NAME_UNITS] = {};
    std::uint8_t* readPtr = nullptr;
    // Set by every error and by every statement that needs the loop (END, NEW, EXIT, RUN, LOAD, MERGE, a
    // break): either way, everything on the way out tests it and returns, and runRequest says why.
    int errorFlag = 0;
    RunRequest runRequest = RunRequest::None;
    int directMode = 1;
    std::uint16_t currentLineNumber = 0;
    std::uint16_t runStartLine = 0;
    int loadingFlag = 0;
    int traceFlag = 0;
    // directMode | traceFlag: the one test at a line's end of whether it needs more than the next record.
    // Brought up to date by the executor and by everything it calls that changes either.
    int slowLine = 1;
    // The short ways (an assignment between plain factors, a plain index, NEXT straight into its body); off
    // only where a test runs the general ways to compare.
    bool shortPaths = true;
    // PSET keeps the console's lock from one point to the next instead of taking it per point; the painter
    // waits at most PLOT_LOCK_STATEMENTS points or loop turns. Let go before anything that may wait for
    // another thread (input, a sleep, a message, any other statement of the table) and when the run stops.
    static constexpr int PLOT_LOCK_STATEMENTS = 256;
    bool plotLockHeld = false;
    int plotLockCount = 0;
    // Where CONT resumes: the statement that was about to run when the stored program last stopped or left
    // for the typed line (written then, not before every statement).
    ResumePoint contPoint;
    // AUTO: while on, each line the console asks for in direct mode comes with autoNext typed already.
    bool autoOn = false;
    std::uint16_t autoNext = 10;
    std::uint16_t autoStep = 10;
    // Counts the typed lines read into lineBuffer, so that a resume position in a line since replaced is
    // known. Never 0.
    std::uint32_t lineGeneration = 1;

    // --- variables and control stack ---
    std::int16_t globalVars[26] = {};
    std::int16_t topLocals[26] = {};
    std::int16_t* localsPtr = topLocals;
    ControlFrame controlStack[STACK_FRAMES];
    int stackDepth = 0;
    // The frame in use at the top of the stack, for NEXT, or noFrame (never a way into a body) when the stack
    // is empty; kept by setStackDepth.
    ControlFrame noFrame;
    ControlFrame* topFrame = &noFrame;

    // Statements left before a host without threads gets control back (Host::yieldSlice); counted only in
    // a build with TAVIK_HOST_YIELDS.
    static constexpr int YIELD_STATEMENTS = 2048;
    int yieldCountdown = YIELD_STATEMENTS;

    // The C library generator: state = state * 214013 + 2531011, result bits 16..30.
    std::uint32_t randState = 0;

    // INPUTs now waiting for an answer; set when one more was refused, so that every answer around it gives
    // up instead of asking again.
    int inputDepth = 0;
    bool inputTooDeep = false;
};

} // namespace tavik
