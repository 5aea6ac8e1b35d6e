// The interpreter thread's life: act on the pending request, then read typed lines in direct mode or run
// the stored program, until EXIT.
#include "console.h"
#include "format.h"
#include "interpreter_inline.h"

#include <cstring>
#include <optional>

namespace tavik {

bool Interpreter::tokenizeSource(bool quiet) {
    if (tokenizeLine(lineBuffer, sourceLine)) return true;
    if (!quiet) errSyntaxLine(sourceLine);
    return false;
}

void Interpreter::directLoop(LineSource* stream) {
    if (!stream) outFormat(nullptr, u"OK\r\n", {});
    static_assert(FILE_NAME_UNITS >= PROGRAM_LINE_UNITS);
    std::optional<ProgramLineReader> file;
    if (stream) file.emplace(*stream);
    // AUTO lasts while the console's direct loop does: any way out of it ends the numbering.
    if (!stream) autoOn = false;
    for (;;) {
        if (!stream) {
            if (autoOn) typeAutoLine();
            if (!host.requestInput(sourceLine, SOURCE_LINE_UNITS, InputMode::Line)) {
                // The input has closed for good: nobody is left to type.
                errorFlag = 1;
                runRequest = RunRequest::Exit;
                return;
            }
            // A break raised while nothing ran (a menu command raises one before it types its line) does not
            // stop the line about to run.
            breakRequested.store(0, std::memory_order_relaxed);
        } else {
            // A break while a file loads stops the load: nothing more is read, and nothing runs.
            if (breakRequested.exchange(0, std::memory_order_relaxed) != 0) {
                reportBreak();
                return;
            }
            if (!file->next(sourceLine)) return;
        }
        if (++lineGeneration == 0) lineGeneration = 1;
        if (!tokenizeSource(false)) {
            errorFlag = 0;
            continue;
        }
        if (!stream && autoOn && autoEnds()) return;
        if (lineBuffer[0] == TOK_FILLER && lineBuffer[1] == TOK_DECIMAL) {
            if (loadingFlag)
                appendLine();
            else
                storeLine();
            // Editing the program discards variables, the control stack and the place to continue.
            if (!stream) {
                clearRunState();
                if (autoOn && !errorFlag) autoStored();
            }
        } else {
            readPtr = lineBuffer;
            executeStatements();
        }
        if (errorFlag) return;
    }
}

void Interpreter::actOnRequest(LineSource* fileLines) {
    switch (runRequest) {
    case RunRequest::Stop: directMode = 1; break;
    case RunRequest::RunFromLine: startRun(runStartLine); break;
    case RunRequest::RunFile: loadProgram(sourceLine, fileLines, true); break;
    case RunRequest::LoadFile: loadProgram(sourceLine, nullptr, false); break;
    case RunRequest::New:
        resetInterpreter();
        currentFileName[0] = 0;
        break;
    case RunRequest::MergeFile:
        // The merged file's direct lines run as typed lines, never as a program.
        directMode = 1;
        readProgramFile(sourceLine);
        directMode = 1;
        break;
    default: break;
    }
}

void Interpreter::interpreterLoop() {
    while (runUntilDirect()) directLoop(nullptr);
}

bool Interpreter::runUntilDirect(LineSource* fileLines) {
    for (;;) {
        errorFlag = 0;
        if (runRequest == RunRequest::Exit) return false;
        actOnRequest(fileLines);
        fileLines = nullptr; // they belong to the first request only
        // An error while acting (a missing line, an unreadable file, an error inside a loaded file) has been
        // reported: go on in direct mode with a clear flag, so the next typed line runs whole.
        if (errorFlag) {
            errorFlag = 0;
            directMode = 1;
        }
        runRequest = RunRequest::None;
        if (directMode) return true;
        executeStatements();
    }
}

bool Interpreter::requestRunFile(const char16_t* name) {
    if (textLength(name) > MAX_FILE_NAME_UNITS) {
        errLoad();
        return false;
    }
    std::memcpy(sourceLine, name, (textLength(name) + 1) * sizeof(char16_t));
    // Taken up here, as a typed line is when it is read: a break from before stops nothing, one from now on
    // (while the file loads, or before the first statement) stops the run.
    breakRequested.store(0, std::memory_order_relaxed);
    errorFlag = 1;
    runRequest = RunRequest::RunFile;
    return true;
}

std::int16_t Interpreter::inputValue(const char16_t* prompt) {
    // Each answer nests a copy of lineBuffer and the evaluator's frames: without a bound, answering INPUT
    // with INPUT over and over would exhaust the thread's stack.
    if (inputDepth >= INPUT_NESTING) {
        errStackOverflow();
        inputTooDeep = true;
        return 0;
    }
    ++inputDepth;
    std::uint8_t saved[LINE_BUFFER_BYTES];
    std::memcpy(saved, lineBuffer, sizeof saved);
    std::int16_t value = 0;
    for (;;) {
        console.putProtectedString(prompt);
        releasePlotLock();
        const bool open = host.requestInput(sourceLine, SOURCE_LINE_UNITS, InputMode::Line);
        // Broken off: the answer is 0, and a raised break stops the run before its next statement.
        if (!open || sourceLine[0] == BREAK_CHAR) break;
        if (sourceLine[0] == 0 || !tokenizeSource(true)) {
            console.putString(u"RE-ENTER\n");
            continue;
        }
        std::uint8_t* const savedReadPtr = readPtr;
        const RunRequest savedRequest = runRequest;
        readPtr = lineBuffer;
        value = evalExpression();
        readPtr = savedReadPtr;
        if (errorFlag && inputTooDeep) break; // the run stops; no answer around this one asks again
        if (errorFlag) {
            // The answer's error was shown; the run itself goes on as before.
            errorFlag = 0;
            runRequest = savedRequest;
            value = 0;
            console.putString(u"RE-ENTER\n");
            continue;
        }
        break;
    }
    std::memcpy(lineBuffer, saved, sizeof saved);
    if (--inputDepth == 0) inputTooDeep = false;
    return value;
}

void Interpreter::startInterpreter() {
    resetInterpreter();
    outFormat(nullptr, u"タビクWM Ver %s\r\n", {VERSION_TEXT});
    runRequest = RunRequest::None;
}

} // namespace tavik
