// The direct-mode editing commands: AUTO numbers the lines as they are typed, RENUM renumbers the program
// and the GOTO, GOSUB, THEN and RUN targets that name its lines, DELETE takes out a range of lines. In a
// stored program they are a syntax error: a program never edits itself.
#include "console.h"
#include "interpreter_inline.h"

namespace tavik {

namespace {

// Collects a listing into a fixed line, cut where it is full.
class LineText final : public OutputStream {
  public:
    bool write(const char16_t* text, std::size_t count) override {
        for (std::size_t i = 0; i < count && length < SOURCE_LINE_UNITS - 1; ++i) units[length++] = text[i];
        units[length] = 0;
        return true;
    }
    char16_t units[SOURCE_LINE_UNITS] = {};
    int length = 0;
};

} // namespace

bool Interpreter::readLineNumber(std::uint16_t& n) {
    if (nextSignificantByte() != TOK_DECIMAL) {
        --readPtr;
        return false;
    }
    n = load16(readPtr);
    readPtr += 2;
    return true;
}

void Interpreter::afterProgramEdit() {
    std::uint8_t* const at = readPtr;
    clearRunState();
    readPtr = at;
}

void Interpreter::stDelete() {
    if (!directMode) {
        errSyntax();
        return;
    }
    std::uint16_t from = 0;
    std::uint16_t to = LAST_LINE_NUMBER;
    const bool hasFrom = readLineNumber(from);
    bool range = false;
    if (nextSignificantByte() == '-') {
        range = true;
        readLineNumber(to);
    } else {
        --readPtr;
    }
    if ((!hasFrom && to == LAST_LINE_NUMBER) || !atEndOfStatement()) {
        errSyntax();
        return;
    }
    if (!range) to = from;
    if (program.eraseLines(from, to) == 0) {
        // One line named alone must be there, as when its number is typed alone; a range may be empty.
        if (!range) errLineNotFound(from);
        return;
    }
    afterProgramEdit();
}

void Interpreter::stRenum() {
    if (!directMode) {
        errSyntax();
        return;
    }
    std::uint16_t first = 10;
    std::uint16_t from = 0;
    std::uint16_t step = 10;
    readLineNumber(first);
    if (nextSignificantByte() == ',') {
        readLineNumber(from);
        if (nextSignificantByte() == ',')
            readLineNumber(step);
        else
            --readPtr;
    } else {
        --readPtr;
    }
    if (!atEndOfStatement()) {
        errSyntax();
        return;
    }
    if (first == 0 || step == 0) {
        errParameter();
        return;
    }
    struct Reporter final : RenumberReport {
        Interpreter& in;
        explicit Reporter(Interpreter& i) : in(i) {}
        void undefinedLine(std::uint16_t target, std::uint16_t line) override {
            in.showMessage(u"Undefined line %d in %d\a\r\n", {static_cast<unsigned>(target), line});
        }
        void computedLine(std::uint16_t line) override {
            in.showMessage(u"Computed line in %d\a\r\n", {line});
        }
    } reporter(*this);
    switch (program.renumber(first, from, step, reporter)) {
    case ProgramStore::Renumber::Overflow: report(u"Line Number Overflow in %d\a\r\n"); return;
    case ProgramStore::Renumber::Collision: report(u"Line Number Collision in %d\a\r\n"); return;
    case ProgramStore::Renumber::Done: afterProgramEdit(); return;
    }
}

void Interpreter::stAuto() {
    if (!directMode) {
        errSyntax();
        return;
    }
    std::uint16_t start = 10;
    std::uint16_t step = 10;
    readLineNumber(start);
    if (nextSignificantByte() == ',') {
        if (!readLineNumber(step)) {
            errSyntax();
            return;
        }
    } else {
        --readPtr;
    }
    if (!atEndOfStatement()) {
        errSyntax();
        return;
    }
    if (start == 0 || step == 0) {
        errParameter();
        return;
    }
    autoOn = true;
    autoNext = start;
    autoStep = step;
}

void Interpreter::typeAutoLine() {
    // The number starts a fresh row, so that nothing printed or left there joins the line.
    if (console.cursorColumn() != 0) console.newLine();
    console.clearRow(console.cursorRow());
    LineText text;
    if (const std::uint8_t* r = program.findLine(autoNext)) {
        // An existing line shows as LIST shows it, to be edited or entered as it is.
        listRecord(&text, r, false);
        while (text.length > 0 &&
               (text.units[text.length - 1] == u'\n' || text.units[text.length - 1] == u'\r'))
            text.units[--text.length] = 0;
    } else {
        outFormat(&text, u"%d ", {static_cast<unsigned>(autoNext)});
    }
    console.putString(text.units);
    host.lineTypedAlready(text.units);
}

bool Interpreter::autoEnds() {
    // Ctrl-C, or Enter on a number alone: back to OK, and that line is left as it is.
    bool ends = sourceLine[0] == BREAK_CHAR;
    if (!ends && lineBuffer[0] == TOK_FILLER && lineBuffer[1] == TOK_DECIMAL) {
        const std::uint8_t* body = lineBuffer + 4;
        while (isBlank(*body)) ++body;
        ends = *body == TOK_END;
    }
    if (!ends) return false;
    if (console.cursorColumn() != 0) console.newLine();
    autoOn = false;
    errorFlag = 1;
    runRequest = RunRequest::Stop;
    return true;
}

void Interpreter::autoStored() {
    // The next number follows the line just entered, whichever number it was given.
    const unsigned next = load16(lineBuffer + 2) + static_cast<unsigned>(autoStep);
    if (next > LAST_LINE_NUMBER) {
        autoOn = false;
        errorFlag = 1;
        runRequest = RunRequest::Stop;
        return;
    }
    autoNext = static_cast<std::uint16_t>(next);
}

} // namespace tavik
