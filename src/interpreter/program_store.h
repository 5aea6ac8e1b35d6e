#pragma once
// The stored program: line records packed in ascending order in one fixed area, ended by a 16-bit 0. Whatever
// the records do not use is the array @(). Every change to the records moves `generation` on, so that a
// position remembered as an offset (a RETURN, a NEXT, CONT) can tell whether it still means what it meant.
#include "tokenizer.h"
#include "tokens.h"

#include <cstdint>

namespace tavik {

constexpr int PROGRAM_AREA_BYTES = 0xC000;
// The most records the area holds: the shortest is 6 bytes (a header, one character and the end byte).
constexpr int PROGRAM_MAX_LINES = (PROGRAM_AREA_BYTES - 2) / 6;
constexpr std::uint16_t LAST_LINE_NUMBER = 32767;

// A record's header: its line number, then its length in bytes (header and end byte included).
inline std::uint16_t recordNumber(const std::uint8_t* record) {
    return load16(record);
}
inline std::uint16_t recordLength(const std::uint8_t* record) {
    return load16(record + 2);
}

// What renumbering finds in the lines' references as it rewrites them; `line` is the referring line's
// number as it is afterwards.
class RenumberReport {
  public:
    virtual ~RenumberReport() = default;
    // A constant target that names no line: it keeps its number.
    virtual void undefinedLine(std::uint16_t target, std::uint16_t line) = 0;
    // A GOTO, GOSUB, THEN or RUN whose target is computed: left as it is.
    virtual void computedLine(std::uint16_t line) = 0;
};

class ProgramStore {
  public:
    // What an edit did; anything but Done left the program unchanged.
    enum class Edit { Done, LineZero, NotFound, OutOfMemory };

    ProgramStore();
    ProgramStore(const ProgramStore&) = delete;
    ProgramStore& operator=(const ProgramStore&) = delete;

    alignas(8) std::uint8_t area[PROGRAM_AREA_BYTES];
    // Bytes of all records and the end marker; the array starts here.
    std::uint16_t usedBytes = 2;

    // Moves on with every change to the records; never 0, so that 0 can mean "no position".
    std::uint32_t generation() const { return generation_; }

    // Enters the line of a TokenLine (number at offset 2, body from 4): insert, replace or delete.
    Edit store(const std::uint8_t* tokenLine);
    // Appends a line read from a file. A line not above the last goes through store, so that no file can
    // leave the records unsorted or hold line 0.
    Edit append(const std::uint8_t* tokenLine);
    // No records; the array bytes stay as they are.
    void clear();

    // Deletes the lines numbered from..to; returns how many went.
    int eraseLines(std::uint16_t from, std::uint16_t to);
    enum class Renumber { Done, Overflow, Collision };
    // Gives the lines from the first numbered `from` or more the numbers first, first + step, ... and
    // rewrites every constant GOTO, GOSUB, THEN and RUN target that names one of them. Refused, with
    // nothing changed, when a number would pass LAST_LINE_NUMBER (Overflow) or would not stay above the
    // lines kept before them (Collision).
    Renumber renumber(std::uint16_t first, std::uint16_t from, std::uint16_t step, RenumberReport& report);

    // The record of line n, or none; a hit in the line cache answers without walking the program.
    std::uint8_t* findLine(std::uint16_t n) {
        const LineCacheEntry& e = lineCache_[lineCacheSlot(n)];
        if (e.generation == generation_ && e.number == n) return area + e.offset;
        return findLineWalk(n);
    }
    // The first record numbered n or more, or the end marker.
    std::uint8_t* findLineFrom(std::uint16_t n);
    // The element @(i), or none when i is out of range.
    std::uint8_t* element(int i) {
        if (static_cast<unsigned>(i) >= arrayElements_) return nullptr;
        return area + usedBytes + 2 * i;
    }
    bool contains(const std::uint8_t* p) const { return p >= area && p < area + PROGRAM_AREA_BYTES; }

  private:
    // Where findLine last found a line, so that a GOTO or GOSUB in a loop does not walk the program each
    // time. An entry holds only while the generation is what it was when the entry was made.
    struct LineCacheEntry {
        std::uint32_t generation = 0;
        std::uint16_t number = 0;
        std::uint16_t offset = 0;
    };
    static constexpr int LINE_CACHE_ENTRIES = 64;
    // Lines numbered in tens and hundreds spread over the entries.
    static int lineCacheSlot(std::uint16_t n) { return (n ^ (n >> 6)) % LINE_CACHE_ENTRIES; }
    std::uint8_t* findLineWalk(std::uint16_t n);
    // Every change to the records ends here, after usedBytes has its new value.
    void changed();

    // renumber's table of the old numbers, in program order.
    std::uint16_t oldNumbers_[PROGRAM_MAX_LINES];
    LineCacheEntry lineCache_[LINE_CACHE_ENTRIES];
    std::uint32_t generation_ = 1;
    // The elements @() has, worked out at each change rather than at each index.
    unsigned arrayElements_ = (PROGRAM_AREA_BYTES - 2) / 2;
};

} // namespace tavik
