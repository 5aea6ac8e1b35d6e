#pragma once
// The interpreter's whole state and its operations. One object, so that a test can make a fresh one.
// Failures never throw: a reporter prints, sets errorFlag and runRequest, and every caller returns.
#include "format.h"
#include "host.h"
#include "program_io.h"
#include "program_store.h"
#include "tokenizer.h"
#include "tokens.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

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
};

class Interpreter {
  public:
    Interpreter(Console& console, Host& host);
    Interpreter(const Interpreter&) = delete;
    Interpreter& operator=(const Interpreter&) = delete;

    // What the hosts do with the interpreter; the rest is its own.
    // Resets and prints the banner; the host then runs interpreterLoop on its thread.
    void startInterpreter();
    // Asks the loop to run a program file, as `run "name"` does; a name too long is refused here.
    bool requestRunFile(const char16_t* name);
    // Until EXIT: runUntilDirect, then typed lines in direct mode, and again.
    void interpreterLoop();
    // Acts on the pending request and runs the program until the interpreter is back in direct mode (true)
    // or EXIT (false). fileLines: the lines a pending RUN "name" reads, when the host has them at hand.
    bool runUntilDirect(LineSource* fileLines = nullptr);
    // Back to the state after start-up, without the banner: no program, no variables, no run.
    void resetInterpreter();
    // The stored program as SAVE writes it to a file: the mark, then the listing with CR LF line ends (the
    // page's links carry it). Read while the interpreter waits or yields, never from another thread.
    std::u16string programFileText();
    // The name the program was last loaded from or saved under; empty when there is none.
    std::u16string_view currentFile() const { return currentFileName; }
    // Raised by another thread (BREAK, Ctrl-C, a menu command); tested and cleared before each statement.
    std::atomic<int> breakRequested{0};

  private:
    // Tests and tools that look inside (the store, the evaluator, the buffers) do it through this one peer.
    friend struct InterpreterPeer;

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
    // Where CONT resumes: the statement that was about to run when the stored program last stopped or left
    // for the typed line (written then, not before every statement).
    ResumePoint contPoint;
    // Counts the typed lines read into lineBuffer, so that a resume position in a line since replaced is
    // known. Never 0.
    std::uint32_t lineGeneration = 1;

    // --- variables and control stack ---
    std::int16_t globalVars[26] = {};
    std::int16_t topLocals[26] = {};
    std::int16_t* localsPtr = topLocals;
    ControlFrame controlStack[STACK_FRAMES];
    int stackDepth = 0;

    // Statements left before a host without threads gets control back (Host::yieldSlice); counted only in
    // a build with TAVIK_HOST_YIELDS.
    static constexpr int YIELD_STATEMENTS = 2048;
    int yieldCountdown = YIELD_STATEMENTS;

    // The C library generator: state = state * 214013 + 2531011, result bits 16..30.
    std::uint32_t randState = 0;
    void srand(std::uint32_t seed) { randState = seed; }
    int rand() {
        randState = randState * 214013u + 2531011u;
        return static_cast<int>((randState >> 16) & 0x7FFF);
    }

    // INPUTs now waiting for an answer; set when one more was refused, so that every answer around it gives
    // up instead of asking again.
    int inputDepth = 0;
    bool inputTooDeep = false;

    // --- tokenizer readers ---
    // One table load instead of three compares: blanks are tested at every byte the evaluator reads.
    static constexpr std::array<bool, 256> BlankBytes = [] {
        std::array<bool, 256> t{};
        t[0x20] = t[0x09] = t[TOK_FILLER] = true;
        return t;
    }();
    static bool isBlank(std::uint8_t b) { return BlankBytes[b]; }
    // The operator levels, loosest first, each named after what its operands form: and, or, xor join
    // relations; a relation compares sums; a sum adds terms; a term multiplies factors.
    static constexpr int LEVEL_LOGIC = 1;
    static constexpr int LEVEL_RELATION = 2;
    static constexpr int LEVEL_SUM = 3;
    static constexpr int LEVEL_TERM = 4;
    // The level of the operator a byte begins; 0 for a byte that begins no operator; OP_BLANK for a blank, so
    // that one lookup both skips blanks and finds the operator.
    static constexpr std::uint8_t OP_BLANK = 9;
    static constexpr std::array<std::uint8_t, 256> OperatorLevel = [] {
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
    static constexpr std::array<std::uint8_t, 256> FactorKinds = [] {
        std::array<std::uint8_t, 256> t{};
        for (int b = 'A'; b <= 'Z'; ++b) t[b] = F_GLOBAL;
        for (int b = 'a'; b <= 'z'; ++b) t[b] = F_LOCAL;
        t[TOK_DECIMAL] = t[TOK_HEX] = F_LITERAL;
        t[0x20] = t[0x09] = t[TOK_FILLER] = F_BLANK;
        return t;
    }();

    // A local pointer: a byte load may alias readPtr itself, which would force a store per byte.
    std::uint8_t nextSignificantByte() {
        std::uint8_t* p = readPtr;
        std::uint8_t b = *p;
        while (isBlank(b)) b = *++p;
        readPtr = p + 1;
        return b;
    }
    // Tokenises sourceLine into lineBuffer; reports a syntax error with the line unless quiet.
    bool tokenizeSource(bool quiet);

    // --- program store ---
    void storeLine();
    void appendLine();
    std::uint8_t* arrayElement(int i);
    void startRun(std::uint16_t n);
    void clearRunState();

    // --- evaluator ---
    // A lone variable or literal, the commonest expression (line numbers, FOR limits, indexes, PRINT items),
    // is read here; anything else goes through the operator levels, which give the same value and position.
    std::int16_t evalExpression() {
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
    std::int16_t* localVar(std::uint8_t letter) { return localsPtr + (letter - 'a'); }
    std::int16_t* globalVar(std::uint8_t letter) { return globalVars + (letter - 'A'); }

    // --- execution ---
    void executeStatements();
    // A line's start: in program mode readPtr stands on its record.
    void beginLine() {
        if (directMode) {
            currentLineNumber = 0;
            return;
        }
        currentLineNumber = load16(readPtr);
        if (traceFlag) traceLine();
        readPtr += 4;
    }
    void traceLine();
    void reportBreak();

    // --- listing and files ---
    bool listLines(OutputStream* stream, std::uint16_t from, std::uint16_t to);
    // One record as LIST shows it; compact: the shorter forms of a line that would not fit a file line.
    bool listRecord(OutputStream* stream, const std::uint8_t* r, bool compact);
    bool readProgramFile(const char16_t* name);
    // Reads a program file's lines through the direct loop; false when an error stopped the reading
    // (reported).
    bool readProgramSource(LineSource& source);
    // What LOAD and RUN "name" do with a file: reset, record the name, read the lines (from source when the
    // host has them at hand, else from the file) and, for run, start the program.
    void loadProgram(const char16_t* name, LineSource* source, bool run);
    // Writes the program to a file safely; false (and the old file untouched) on any failure.
    bool saveProgramFile(const char16_t* name);

    // --- errors and output ---
    bool outFormat(OutputStream* stream, const char16_t* format, std::initializer_list<FormatArg> args);

    // --- the loop ---
    void directLoop(LineSource* stream);
    std::int16_t inputValue(const char16_t* prompt);

    // The statement table: token - 0x80 gives the operation.
    using Statement = void (Interpreter::*)();
    static const Statement StatementTable[STATEMENT_COUNT];

    // Statements (entered with readPtr just past their token).
    void stIf();
    void stPrint();
    void stLocate();
    void stCls();
    void stGoto();
    void stGosub();
    void stReturn();
    void stFor();
    void stNext();
    void stEnd();
    void stBreak();
    void stRem();
    void stNew();
    void stList();
    void stRun();
    void stCont();
    void stSave();
    void stLoad();
    void stMerge();
    void stRandomize();
    void stExit();
    void stWaitms();
    void stWidth();
    void stTron();
    void stTroff();
    void stOrient();
    void stFcolor();
    void stBcolor();
    void stConsole();
    void stGraph();
    void stGcls();
    void stPset();

    void report(const char16_t* message);
    // Every message of the interpreter's own (an error, a break) reaches the console here, between the host's
    // messageBegins and messageEnds, so that a host can tell it from what the program prints.
    void showMessage(const char16_t* format, std::initializer_list<FormatArg> args, bool isBreak = false);
    void errSyntax();
    void errSyntaxLine(const char16_t* source);
    void errDivideByZero();
    void errSubscript();
    void errLineNotFound(std::uint16_t n);
    void errStackOverflow();
    void errStackUnderflow();
    void errNextWithoutFor();
    void errOutOfMemory();
    void errLoad();
    void errCantContinue();
    void errSave();
    void errParameter();
    void errLineZero();

    void actOnRequest(LineSource* fileLines = nullptr);

    std::int16_t evalFactor();
    void assignFromExpression(std::uint8_t* target);
    std::uint8_t* readArrayRef();
    bool readRgb(std::uint8_t out[3]);

    void gotoLine(std::uint16_t n);
    ControlFrame* pushFrame(FrameKind kind);
    // Reads `x , y`; false (reported) on an error.
    bool readPair(std::int16_t& x, std::int16_t& y);
    bool atEndOfStatement();
    bool inLineBuffer(const std::uint8_t* p) const {
        return p >= lineBuffer && p < lineBuffer + LINE_BUFFER_BYTES;
    }
    void reportEdit(ProgramStore::Edit result);
    void requestFile(RunRequest request);
    // Remembers p, in the stored program, as the place CONT resumes.
    void keepContinuePoint(const std::uint8_t* p) {
        contPoint.generation = program.generation();
        contPoint.offset = static_cast<std::uint16_t>(p - program.area);
        contPoint.inTypedLine = false;
    }
    ResumePoint resumePointAt(const std::uint8_t* p) const {
        if (inLineBuffer(p)) return {lineGeneration, static_cast<std::uint16_t>(p - lineBuffer), true};
        return {program.generation(), static_cast<std::uint16_t>(p - program.area), false};
    }
    // RETURN and NEXT going back to `frame.resume`. Back into the typed line, that line runs as typed, in
    // direct mode. If the line has been replaced, or the program changed, since the frame was made, the bytes
    // it named are gone: "Can't Continue", and false.
    bool resumeFrame(const ControlFrame& frame) {
        const ResumePoint& at = frame.resume;
        if (at.inTypedLine) {
            if (at.generation != lineGeneration) {
                errCantContinue();
                return false;
            }
            // Leaving the program: CONT would run this RETURN or NEXT (just read) again.
            if (!directMode) keepContinuePoint(readPtr - 1);
            directMode = 1;
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
    // The two bytes of a FOR loop's variable, or none after reporting an array index now out of range.
    std::uint8_t* loopVariable(const LoopVariable& v) {
        if (v.kind == LoopVariable::Global) return reinterpret_cast<std::uint8_t*>(globalVars + v.index);
        if (v.kind == LoopVariable::Local)
            return reinterpret_cast<std::uint8_t*>(localsOfLevel(v.level) + v.index);
        return arrayElement(v.index);
    }
    std::int16_t* localsOfLevel(int level) { return level == 0 ? topLocals : controlStack[level - 1].locals; }
    // The level whose locals localsPtr shows (see LoopVariable).
    std::uint8_t localsLevel() const;
    // Reads `(index)` or `[index]` after '@': the element, or none (reported) on an error or an index out of
    // range.
    std::uint8_t* readArrayIndex(std::int16_t& index);
    // Copies the string literal at readPtr (its type byte already read) and moves past its end unit.
    // Returns its length, which may exceed what was copied.
    int readStringLiteral(char16_t* out, int capacity);
    // A variable or a literal at p, after blanks: its value in v and p past it. False, with p on the factor's
    // first byte, for every other factor (evalCompoundFactor's). The one decoder of factors. Without
    // skipBlanks a blank is an other factor, for a caller that hands those to a loop that skips them anyway.
    template <bool skipBlanks = true>
    [[gnu::always_inline]] bool plainFactor(std::uint8_t*& p, std::int16_t& v) const {
        std::uint8_t b = *p;
        std::uint8_t kind = FactorKinds[b];
        if constexpr (skipBlanks) {
            while (kind == F_BLANK) {
                b = *++p;
                kind = FactorKinds[b];
            }
        }
        if (kind == F_GLOBAL) {
            v = globalVars[b - 'A'];
            ++p;
            return true;
        }
        if (kind == F_LITERAL) {
            v = static_cast<std::int16_t>(load16(p + 1));
            p += 3;
            return true;
        }
        if (kind == F_LOCAL) {
            v = localsPtr[b - 'a'];
            ++p;
            return true;
        }
        return false;
    }
    // The expression of the operators from `level` (LEVEL_LOGIC .. LEVEL_TERM) on: a whole expression, a
    // relation, a sum or a term.
    std::int16_t evalLevel(int level);
    // evalLevel's loop once its first operand, left, has been read.
    std::int16_t evalLevelFrom(int level, std::int16_t left);
    // The rest of an expression whose first factor, left, is read and whose operator stands at readPtr.
    std::int16_t evalBinaryFrom(std::int16_t left);
    // That loop with the read position at p (readPtr is set from it on the way out).
    std::int16_t evalLevelAt(int level, std::int16_t left, std::uint8_t* p);
    // A factor read at p, p left past it.
    std::int16_t operand(std::uint8_t*& p);
    // evalFactor's cases after the variables and literals: b is the factor's first byte, already read.
    std::int16_t evalCompoundFactor(std::uint8_t b);
    std::int16_t twoArgumentFunction(std::uint8_t token);
    std::int16_t inputFunction();
};

} // namespace tavik
