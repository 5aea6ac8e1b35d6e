// Every error is one console line ending in a bell and CR LF, naming the line it happened in. A reporter
// prints, sets errorFlag and asks the loop to stop; callers see the flag and unwind.
#include "console.h"
#include "format.h"
#include "interpreter_inline.h"

namespace tavik {

bool Interpreter::outFormat(OutputStream* stream, const char16_t* format,
                            std::initializer_list<FormatArg> args) {
    char16_t text[256];
    const std::size_t n = formatText(text, 256, format, args);
    if (!stream) {
        console.putString(text);
        return true;
    }
    return stream->write(text, n);
}

void Interpreter::showMessage(const char16_t* format, std::initializer_list<FormatArg> args, bool isBreak) {
    releasePlotLock();
    host.messageBegins(isBreak);
    outFormat(nullptr, format, args);
    host.messageEnds();
}

void Interpreter::report(const char16_t* message) {
    showMessage(message, {currentLineNumber});
    errorFlag = 1;
    runRequest = RunRequest::Stop;
}

void Interpreter::errSyntax() {
    report(u"Syntax Error in %d\a\r\n");
}
void Interpreter::errSyntaxLine(const char16_t* source) {
    errSyntax();
    console.putString(source);
    console.putString(u"\r\n");
}
void Interpreter::errDivideByZero() {
    report(u"Divide by 0 in %d\a\r\n");
}
void Interpreter::errSubscript() {
    report(u"Out of Array Subscription in %d\a\r\n");
}
void Interpreter::errLineNotFound(std::uint16_t n) {
    showMessage(u"Line Number %d not Found in %d\a\r\n", {n, currentLineNumber});
    errorFlag = 1;
    runRequest = RunRequest::Stop;
}
void Interpreter::errStackOverflow() {
    report(u"Stack Overflow in %d\a\r\n");
}
void Interpreter::errStackUnderflow() {
    report(u"Stack Underflow in %d\a\r\n");
}
void Interpreter::errNextWithoutFor() {
    report(u"Next without For in %d\a\r\n");
}
void Interpreter::errOutOfMemory() {
    report(u"Out of memory in %d\a\r\n");
}
void Interpreter::errLoad() {
    report(u"File Not Found or Load Error in %d\a\r\n");
}
void Interpreter::errCantContinue() {
    report(u"Can't Continue in %d\a\r\n");
}
void Interpreter::errSave() {
    report(u"Save Error in %d\a\r\n");
}
void Interpreter::errParameter() {
    report(u"Parameter Error in %d\a\r\n");
}
void Interpreter::errLineZero() {
    report(u"Invalid Line Number 0\a\r\n");
}

} // namespace tavik
