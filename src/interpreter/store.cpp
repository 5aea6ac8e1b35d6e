// The interpreter's side of the program store: edits reported as the language reports them, the array, and
// the two resets every run and every NEW go through.
#include "console.h"
#include "interpreter_inline.h"

#include <cstring>

namespace tavik {

Interpreter::Interpreter(Console& c, Host& h) : InterpreterState(c, h) {
    std::memset(lineBuffer, 0, sizeof lineBuffer);
    lineBuffer[0] = TOK_FILLER;
    lineBuffer[1] = TOK_END;
    readPtr = lineBuffer;
}

void Interpreter::reportEdit(ProgramStore::Edit result) {
    switch (result) {
    case ProgramStore::Edit::Done: break;
    case ProgramStore::Edit::LineZero: errLineZero(); break;
    case ProgramStore::Edit::NotFound: errLineNotFound(load16(lineBuffer + 2)); break;
    case ProgramStore::Edit::OutOfMemory: errOutOfMemory(); break;
    }
}

void Interpreter::storeLine() {
    reportEdit(program.store(lineBuffer));
}

void Interpreter::appendLine() {
    reportEdit(program.append(lineBuffer));
}

std::uint8_t* Interpreter::arrayElement(int i) {
    std::uint8_t* element = program.element(i);
    if (!element) errSubscript();
    return element;
}

void Interpreter::startRun(std::uint16_t n) {
    std::uint8_t* r = program.area;
    if (n != 0) {
        r = program.findLine(n);
        if (!r) {
            errLineNotFound(n);
            return;
        }
    }
    clearRunState();
    directMode = 0;
    readPtr = r;
}

void Interpreter::clearRunState() {
    std::memset(globalVars, 0, sizeof globalVars);
    std::memset(topLocals, 0, sizeof topLocals);
    for (ControlFrame& f : controlStack) f = ControlFrame{};
    localsPtr = topLocals;
    setStackDepth(0);
    readPtr = nullptr;
    contPoint = ResumePoint{};
    currentLineNumber = 0;
    srand(0);
}

void Interpreter::resetInterpreter() {
    console.resetConsole();
    clearRunState();
    program.clear();
    directMode = 1;
    traceFlag = 0;
}

} // namespace tavik
