// Program lines cut from a file the way they were saved, and file names as paths.
#include "program_io.h"

#include "format.h"

namespace tavik {

bool ProgramLineReader::next(char16_t* line) {
    if (!source_.readLine(line, SOURCE_LINE_UNITS)) return false;
    std::size_t n = textLength(line);
    if (first_ && n == SOURCE_LINE_UNITS - 1 && line[0] == 0xFEFF && line[n - 1] != 0x000A &&
        source_.readLine(line + n, 2))
        n = textLength(line);
    first_ = false;
    if (lineEnded_) ++lineNumber_;
    lineEnded_ = n > 0 && line[n - 1] == 0x000A;
    if (lineEnded_) line[n - 1] = 0;
    return true;
}

std::filesystem::path pathFromUnits(const char16_t* name) {
    std::size_t n = 0;
    while (name[n] != 0) ++n;
    const std::string utf8 = utf8FromUtf16(name, n);
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

} // namespace tavik
