#pragma once
// Where listed text goes and where program lines come from: program files on disk, or a test's memory.
#include "tokenizer.h"
#include "utf8.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tavik {

class OutputStream {
  public:
    virtual ~OutputStream() = default;
    // Writes the units; false when not all of them were written.
    virtual bool write(const char16_t* units, std::size_t count) = 0;
};

class LineSource {
  public:
    virtual ~LineSource() = default;
    // Reads like fgetws: at most capacity - 1 units, up to and including an LF, then a 0 unit.
    // False at the end of the input or on a read error, with nothing read.
    virtual bool readLine(char16_t* buffer, int capacity) = 0;
    // True once the reading stopped on an error rather than at the end.
    virtual bool failed() const { return false; }
};

// What ProgramLineReader::next needs: a full piece and its terminator, and the unit read behind a mark.
constexpr int PROGRAM_LINE_UNITS = SOURCE_LINE_UNITS + 1;

// Reads a program file's lines as the loader takes them: pieces of at most 255 units, each ending at an LF
// or where the 255 units are full, the LF removed (a CR before it stays and ends the line in the tokenizer).
// The mark that opens a file takes none of its first line's 255 units, so that a line SAVE wrote whole comes
// back whole. Knows which line of the file each piece belongs to.
class ProgramLineReader {
  public:
    explicit ProgramLineReader(LineSource& source) : source_(source) {}
    // The next piece into line (PROGRAM_LINE_UNITS units); false at the end of the file or on a read error.
    bool next(char16_t* line);
    // The position in the file of the line the last piece came from, counting every line from 1.
    std::size_t lineNumber() const { return lineNumber_; }

  private:
    LineSource& source_;
    bool first_ = true;
    bool lineEnded_ = true;
    std::size_t lineNumber_ = 0;
};

// The longest file name a program may give (units, without the terminator).
constexpr std::size_t MAX_FILE_NAME_UNITS = 259;

std::filesystem::path pathFromUnits(const char16_t* name);

} // namespace tavik
