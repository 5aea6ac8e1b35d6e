// Whole sessions: the input is a list of typed lines, run through the interpreter loop as a user would type
// them (program lines, direct commands, answers to INPUT, WAITKEY and WAITCHAR). Runaway programs are broken
// off by the host's budget or the watchdog. Afterwards the store must be sound and every line must list and
// tokenise back to its bytes.
//
// The first byte chooses the encoding of the rest: odd for UTF-8 (where the dictionary's keywords work),
// even for UTF-16LE (to reach every unit). Lines end at LF, and a line longer than the console's 255 units
// is cut there, as the line editor cuts it.
//
// A line that begins with '>' is not typed: the rest of it is a line of the file "m.tk", ready before the
// session starts, so that MERGE, LOAD and RUN can bring in direct lines (NEXT, RETURN, CONT, GOTO, INPUT)
// while frames and a continue point are live. A typed line that begins with Ctrl-C (3) is the BREAK key
// pressed while the input is asked for: a break is raised, which also reaches a file that is loading.
#include "fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace tavik;
using namespace tavik::fuzz;

namespace {

constexpr std::size_t MAX_LINES = 200;

std::vector<std::u16string> typedLines(const std::uint8_t* data, std::size_t size) {
    std::u16string units;
    if (size > 0 && (data[0] & 1)) {
        units = utf16FromUtf8(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    } else {
        for (std::size_t i = 1; i + 1 < size; i += 2)
            units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    while (start <= units.size() && lines.size() < MAX_LINES) {
        std::size_t end = units.find(u'\n', start);
        if (end == std::u16string::npos) end = units.size();
        std::u16string line = units.substr(start, std::min(end - start, LINE_UNITS));
        // A byte-order mark inside a line makes the one line that cannot list back: kept out.
        for (std::size_t i = line.size(); i-- > 1;)
            if (line[i] == 0xFEFF) line.erase(i, 1);
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// Moves the '>' lines into the file m.tk (UTF-8, LF line ends); the others stay typed.
void writeFileLines(std::vector<std::u16string>& lines) {
    std::string file;
    std::vector<std::u16string> typed;
    for (std::u16string& line : lines) {
        if (!line.empty() && line[0] == u'>') {
            file += utf8FromUtf16(line.data() + 1, line.size() - 1);
            file += '\n';
        } else {
            typed.push_back(std::move(line));
        }
    }
    lines = std::move(typed);
    if (file.empty()) return;
    if (std::FILE* f = std::fopen("m.tk", "wb")) {
        std::fwrite(file.data(), 1, file.size(), f);
        std::fclose(f);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterScratchFolder("session");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    clearScratchFolder();
    Machine m;
    m.host.lines = typedLines(data, size);
    writeFileLines(m.host.lines);
    Interpreter& interp = m.interp;
    interp.startInterpreter();
    interp.interpreterLoop();
    checkStore(interp);
    checkListingRoundTrip(interp);
    return 0;
}
