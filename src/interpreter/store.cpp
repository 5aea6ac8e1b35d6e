// The program lives packed in one fixed area, records in ascending line order, ended by a 16-bit 0.
// Whatever the program does not use is the array @().
#include "console.h"
#include "interpreter.h"

#include <cstring>

namespace tavik {

Interpreter::Interpreter(Console& c, Host& h) : console(c), host(h) {
    std::memset(programArea, 0, sizeof programArea);
    std::memset(lineBuffer, 0, sizeof lineBuffer);
    lineBuffer[0] = TOK_FILLER;
    lineBuffer[1] = TOK_END;
    readPtr = lineBuffer;
}

namespace {

inline std::uint16_t recordLength(const std::uint8_t* record) {
    return load16(record + 2);
}
inline std::uint16_t recordNumber(const std::uint8_t* record) {
    return load16(record);
}

// Length of the record that lineBuffer's line would make: its bytes through the end byte.
inline std::uint16_t newRecordLength(const std::uint8_t* lineBuffer) {
    return static_cast<std::uint16_t>(skipToLineEnd(lineBuffer + 4) - lineBuffer + 1);
}

} // namespace

std::uint8_t* Interpreter::findLineFrom(std::uint16_t n) {
    std::uint8_t* r = programArea;
    for (std::uint16_t number; (number = recordNumber(r)) != 0 && number < n;) r += recordLength(r);
    return r;
}

void Interpreter::programChanged() {
    // Generation 0 marks an empty entry: after wrapping round, the old entries are cleared instead.
    if (++programGeneration == 0) {
        for (LineCacheEntry& e : lineCache) e = LineCacheEntry{};
        programGeneration = 1;
    }
}

std::uint8_t* Interpreter::findLineWalk(std::uint16_t n) {
    LineCacheEntry& e = lineCache[lineCacheSlot(n)];
    for (std::uint8_t* r = programArea; recordNumber(r) != 0; r += recordLength(r)) {
        if (recordNumber(r) == n) {
            e.generation = programGeneration;
            e.number = n;
            e.offset = static_cast<std::uint16_t>(r - programArea);
            return r;
        }
    }
    return nullptr;
}

void Interpreter::storeLine() {
    programChanged();
    const std::uint16_t n = load16(lineBuffer + 2);
    if (n == 0) {
        errLineZero();
        return;
    }
    std::uint8_t* r = findLineFrom(n);
    const std::uint16_t m = recordNumber(r);
    std::uint8_t* const used = programArea + usedBytes;

    const std::uint8_t* body = lineBuffer + 4;
    while (*body == 0x20 || *body == 0x09 || *body == TOK_FILLER) ++body;
    if (*body == TOK_END) {
        if (m != n) {
            errLineNotFound(n);
            return;
        }
        const std::uint16_t length = recordLength(r);
        std::memmove(r, r + length, static_cast<std::size_t>(used - (r + length)));
        usedBytes = static_cast<std::uint16_t>(usedBytes - length);
        return;
    }

    const std::uint16_t length = newRecordLength(lineBuffer);
    if (m == n) {
        const int delta = length - recordLength(r);
        if (usedBytes + delta >= PROGRAM_AREA_BYTES) {
            errOutOfMemory();
            return;
        }
        std::uint8_t* end = r + recordLength(r);
        std::memmove(end + delta, end, static_cast<std::size_t>(used - end));
        usedBytes = static_cast<std::uint16_t>(usedBytes + delta);
    } else {
        if (usedBytes + length >= PROGRAM_AREA_BYTES) {
            errOutOfMemory();
            return;
        }
        std::memmove(r + length, r, static_cast<std::size_t>(used - r));
        usedBytes = static_cast<std::uint16_t>(usedBytes + length);
    }
    store16(r, n);
    store16(r + 2, length);
    std::memcpy(r + 4, lineBuffer + 4, length - 4u);
}

// A loaded file is trusted to be in order, as SAVE writes it, so lines are appended; a line that is not
// above the last one goes through storeLine, so that no file can leave the store unsorted or hold line 0.
void Interpreter::appendLine() {
    programChanged();
    const std::uint16_t n = load16(lineBuffer + 2);
    if (n == 0) {
        errLineZero();
        return;
    }
    std::uint8_t* const marker = programArea + usedBytes - 2;
    std::uint16_t last = 0;
    if (usedBytes > 2) {
        for (std::uint8_t* r = programArea; recordNumber(r) != 0; r += recordLength(r))
            last = recordNumber(r);
    }
    if (n <= last) {
        storeLine();
        return;
    }
    const std::uint16_t length = newRecordLength(lineBuffer);
    if (usedBytes + length >= PROGRAM_AREA_BYTES) {
        errOutOfMemory();
        return;
    }
    store16(marker, n);
    store16(marker + 2, length);
    std::memcpy(marker + 4, lineBuffer + 4, length - 4u);
    usedBytes = static_cast<std::uint16_t>(usedBytes + length);
    store16(programArea + usedBytes - 2, 0);
}

std::uint8_t* Interpreter::arrayElement(int i) {
    if (i < 0 || i >= (PROGRAM_AREA_BYTES - usedBytes) / 2) {
        errSubscript();
        return nullptr;
    }
    return programArea + usedBytes + 2 * i;
}

void Interpreter::startRun(std::uint16_t n) {
    std::uint8_t* r = programArea;
    if (n != 0) {
        r = findLine(n);
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
    stackDepth = 0;
    readPtr = nullptr;
    contPtr = nullptr;
    currentLineNumber = 0;
    srand(0);
}

void Interpreter::resetInterpreter() {
    console.resetConsole();
    clearRunState();
    store16(programArea, 0);
    programChanged();
    directMode = 1;
    traceFlag = 0;
    usedBytes = 2;
}

} // namespace tavik
