// SAVE, LOAD, MERGE and the reading of a program file through the direct loop, as if its lines were typed.
#include "format.h"
#include "interpreter_inline.h"
#include "program_file.h"

#include <cstring>

namespace tavik {

bool Interpreter::saveProgramFile(const char16_t* name) {
    if (textLength(name) > MAX_FILE_NAME_UNITS) return false;
    auto writer = ProgramFileWriter::create(pathFromUnits(name));
    if (!writer) return false;
    const char16_t mark = 0xFEFF;
    if (!writer->write(&mark, 1)) return false;
    if (!listLines(writer.get(), 1, 32767)) return false;
    return writer->commit();
}

std::u16string Interpreter::programFileText() {
    class Collector final : public OutputStream {
      public:
        bool write(const char16_t* units, std::size_t count) override {
            text.append(units, count);
            return true;
        }
        std::u16string text{u"\uFEFF"};
    } collector;
    listLines(&collector, 1, 32767);
    return std::move(collector.text);
}

void Interpreter::stSave() {
    char16_t name[FILE_NAME_UNITS];
    const std::uint8_t b = nextSignificantByte();
    if (endsStatement(b)) {
        --readPtr;
        if (currentFileName[0] == 0) {
            errParameter();
            return;
        }
        std::memcpy(name, currentFileName, sizeof name);
    } else if (b == TOK_STRING) {
        if (static_cast<std::size_t>(readStringLiteral(name, FILE_NAME_UNITS)) > MAX_FILE_NAME_UNITS) {
            errSave();
            return;
        }
    } else {
        errSyntax();
        return;
    }
    if (!saveProgramFile(name)) {
        errSave();
        return;
    }
    std::memcpy(currentFileName, name, sizeof currentFileName);
}

// LOAD, MERGE and RUN with a name: the name, then the request. A name too long for the buffer would be cut to
// another file's name: refused whole.
void Interpreter::requestFile(RunRequest request) {
    if (nextSignificantByte() != TOK_STRING) {
        errSyntax();
        return;
    }
    if (static_cast<std::size_t>(readStringLiteral(sourceLine, FILE_NAME_UNITS)) > MAX_FILE_NAME_UNITS) {
        errLoad();
        return;
    }
    errorFlag = 1;
    runRequest = request;
}

void Interpreter::stLoad() {
    requestFile(RunRequest::LoadFile);
}

void Interpreter::stMerge() {
    requestFile(RunRequest::MergeFile);
}

bool Interpreter::readProgramFile(const char16_t* name) {
    char16_t copy[FILE_NAME_UNITS];
    const std::size_t length = textLength(name);
    if (length > MAX_FILE_NAME_UNITS) {
        errLoad();
        return false;
    }
    std::memcpy(copy, name, (length + 1) * sizeof(char16_t));
    auto reader = ProgramFileReader::open(pathFromUnits(copy));
    if (!reader) {
        errLoad();
        return false;
    }
    return readProgramSource(*reader);
}

bool Interpreter::readProgramSource(LineSource& source) {
    directLoop(&source);
    // A file that could not be read to its end is no program: the lines read so far stay, as after any
    // error that stops the reading, but the failure is reported.
    if (!errorFlag && source.failed()) errLoad();
    clearRunState();
    return errorFlag == 0;
}

void Interpreter::loadProgram(const char16_t* name, LineSource* source, bool run) {
    resetInterpreter();
    loadingFlag = 1;
    // The name is recorded before the file is read, so that it is recorded even when the reading fails.
    const std::size_t length = textLength(name);
    if (length <= MAX_FILE_NAME_UNITS && name != currentFileName)
        std::memcpy(currentFileName, name, (length + 1) * sizeof(char16_t));
    const bool read = source ? readProgramSource(*source) : readProgramFile(name);
    loadingFlag = 0;
    if (read && run) startRun(0);
}

} // namespace tavik
