#pragma once
// The interpreter: what the hosts call (public) and its own operations (private), over the state of
// interpreter_state.h. One object, so that a test can make a fresh one. The operations on the hot path are
// defined in interpreter_inline.h, which the interpreter's own files include instead of this one.
// Failures never throw: a reporter prints, sets errorFlag and runRequest, and every caller returns.
#include "interpreter_state.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tavik {

// What a quick expression worked out past its first operator came to: its value and the position past it;
// no position when it gave up.
struct QuickValue {
    std::uint8_t* end = nullptr;
    std::int16_t value = 0;
};

class Interpreter : private InterpreterState {
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
    using InterpreterState::breakRequested;

  private:
    // Tests and tools that look inside (the store, the evaluator, the buffers) do it through this one peer.
    friend struct InterpreterPeer;

    void srand(std::uint32_t seed);
    int rand();

    // --- tokenizer readers ---
    static bool isBlank(std::uint8_t b);
    // The next byte after blanks; readPtr moves past it.
    std::uint8_t nextSignificantByte();
    // Tokenises sourceLine into lineBuffer; reports a syntax error with the line unless quiet.
    bool tokenizeSource(bool quiet);

    // --- program store ---
    void storeLine();
    void appendLine();
    std::uint8_t* arrayElement(int i);
    void startRun(std::uint16_t n);
    void clearRunState();

    // --- evaluator ---
    // The expression at readPtr, readPtr left past it.
    std::int16_t evalExpression();
    std::int16_t* localVar(std::uint8_t letter);
    std::int16_t* globalVar(std::uint8_t letter);

    // --- execution ---
    void executeStatements();
    // After directMode or traceFlag changed.
    void lineModeChanged();
    // The short ways of an assignment and of the expressions of assignments and IFs (execute.cpp).
    std::uint8_t* quickAssign(std::uint8_t* q, std::int16_t& v);
    bool quickExpression(std::uint8_t*& p, std::int16_t& v);
    QuickValue quickExpressionRest(std::uint8_t* q, std::int16_t left, std::uint8_t op, int level,
                                   std::int16_t right, std::uint8_t nextOp, int nextLevel);
    void quickOperator(std::uint8_t*& p, std::uint8_t& op, int& level);
    bool quickSigned(std::uint8_t*& p, std::int16_t& v);
    bool quickOperand(std::uint8_t*& p, std::int16_t& v);
    // Where a FOR frame made at readPtr finds its body (see ControlFrame).
    void findLoopBody(ControlFrame& frame) const;
    // A line's start: in program mode readPtr stands on its record.
    void beginLine();
    void traceLine();
    void reportBreak();
    // Lets go of the console's lock if PSET keeps it.
    void releasePlotLock();
    void dropPlotLock();

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

    // Statements (entered with readPtr just past their token), one per entry of TAVIK_STATEMENTS.
#define TAVIK_STATEMENT_DECLARATION(name, handler, spelling) void st##handler();
    TAVIK_STATEMENTS(TAVIK_STATEMENT_DECLARATION)
#undef TAVIK_STATEMENT_DECLARATION

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
    // Frames in use, and topFrame with them.
    void setStackDepth(int depth);
    // Reads `x , y`; false (reported) on an error.
    bool readPair(std::int16_t& x, std::int16_t& y);
    bool atEndOfStatement();
    bool inLineBuffer(const std::uint8_t* p) const;
    void reportEdit(ProgramStore::Edit result);
    // AUTO's part of the direct loop: the next number (or that line's listing) typed before a line request,
    // and what the answer makes of AUTO; true when the answer ended it (errorFlag set to come back with OK).
    void typeAutoLine();
    bool autoEnds();
    void autoStored();
    // DELETE and RENUM changed the program: as an edited line does, forget the run, but read on in the line.
    void afterProgramEdit();
    // An optional line number literal at readPtr: its value in n, or false with readPtr unmoved.
    bool readLineNumber(std::uint16_t& n);
    void requestFile(RunRequest request);
    // Remembers p, in the stored program, as the place CONT resumes.
    void keepContinuePoint(const std::uint8_t* p);
    ResumePoint resumePointAt(const std::uint8_t* p) const;
    // RETURN and NEXT going back to `frame.resume`. Back into the typed line, that line runs as typed, in
    // direct mode. If the line has been replaced, or the program changed, since the frame was made, the bytes
    // it named are gone: "Can't Continue", and false.
    bool resumeFrame(const ControlFrame& frame);
    // The two bytes of a FOR loop's variable, or none after reporting an array index now out of range.
    std::uint8_t* loopVariable(const LoopVariable& v);
    std::int16_t* localsOfLevel(int level);
    // The level whose locals localsPtr shows (see LoopVariable).
    std::uint8_t localsLevel() const;
    // Reads `(index)` or `[index]` after '@': the element, or none (reported) on an error or an index out of
    // range.
    std::uint8_t* readArrayIndex(std::int16_t& index);
    // readArrayIndex for every index that is not a plain factor in range.
    std::uint8_t* readArrayIndexSlow(std::int16_t& index);
    // Copies the string literal at readPtr (its type byte already read) and moves past its end unit.
    // Returns its length, which may exceed what was copied.
    int readStringLiteral(char16_t* out, int capacity);
    // A variable or a literal at p, after blanks: its value in v and p past it. False, with p on the factor's
    // first byte, for every other factor (evalCompoundFactor's). The one decoder of factors. Without
    // skipBlanks a blank is an other factor, for a caller that hands those to a loop that skips them anyway.
    template <bool skipBlanks = true> bool plainFactor(std::uint8_t*& p, std::int16_t& v) const;
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
    // evalCompoundFactor's cases after the variables and literals: b is the factor's first byte, already
    // read.
    std::int16_t evalCompoundFactor(std::uint8_t b);
    std::int16_t twoArgumentFunction(std::uint8_t token);
    std::int16_t inputFunction();
};

} // namespace tavik
