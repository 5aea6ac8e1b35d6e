#pragma once
// The one way tests, fuzz targets and benchmarks reach the interpreter's inside: its store, buffers, flags
// and the steps the direct loop takes one by one. Names and meanings are the interpreter's own.
#include "interpreter_inline.h"

#include <cstdint>

namespace tavik {

struct InterpreterPeer {
    explicit InterpreterPeer(Interpreter& in)
        : in(in), program(in.program), lineBuffer(in.lineBuffer), sourceLine(in.sourceLine),
          currentFileName(in.currentFileName), readPtr(in.readPtr), errorFlag(in.errorFlag),
          runRequest(in.runRequest), directMode(in.directMode), currentLineNumber(in.currentLineNumber),
          loadingFlag(in.loadingFlag), traceFlag(in.traceFlag), globalVars(in.globalVars),
          topLocals(in.topLocals), localsPtr(in.localsPtr), stackDepth(in.stackDepth) {}

    Interpreter& in;
    ProgramStore& program;
    std::uint8_t (&lineBuffer)[LINE_BUFFER_BYTES];
    char16_t (&sourceLine)[FILE_NAME_UNITS];
    char16_t (&currentFileName)[FILE_NAME_UNITS];
    std::uint8_t*& readPtr;
    int& errorFlag;
    RunRequest& runRequest;
    int& directMode;
    std::uint16_t& currentLineNumber;
    int& loadingFlag;
    int& traceFlag;
    std::int16_t (&globalVars)[26];
    std::int16_t (&topLocals)[26];
    std::int16_t*& localsPtr;
    int& stackDepth;

    bool tokenizeSource(bool quiet) { return in.tokenizeSource(quiet); }
    void storeLine() { in.storeLine(); }
    std::uint8_t* arrayElement(int i) { return in.arrayElement(i); }
    void clearRunState() { in.clearRunState(); }
    std::int16_t evalExpression() { return in.evalExpression(); }
    void executeStatements() { in.executeStatements(); }
    bool listLines(OutputStream* stream, std::uint16_t from, std::uint16_t to) {
        return in.listLines(stream, from, to);
    }
    bool readProgramSource(LineSource& source) { return in.readProgramSource(source); }
    bool saveProgramFile(const char16_t* name) { return in.saveProgramFile(name); }
    void directLoop(LineSource* stream) { in.directLoop(stream); }
    void useShortPaths(bool on) { in.shortPaths = on; }
};

} // namespace tavik
