#include "program_store.h"

#include <cstring>

namespace tavik {

namespace {

// Length of the record that a TokenLine would make: its bytes through the end byte.
inline std::uint16_t newRecordLength(const std::uint8_t* tokenLine) {
    return static_cast<std::uint16_t>(skipToLineEnd(tokenLine + 4) - tokenLine + 1);
}

} // namespace

ProgramStore::ProgramStore() {
    std::memset(area, 0, sizeof area);
}

void ProgramStore::changed() {
    arrayElements_ = static_cast<unsigned>(PROGRAM_AREA_BYTES - usedBytes) / 2;
    // Generation 0 marks an empty cache entry and a position that names nothing: after wrapping round, the
    // old entries are cleared instead.
    if (++generation_ == 0) {
        for (LineCacheEntry& e : lineCache_) e = LineCacheEntry{};
        generation_ = 1;
    }
}

std::uint8_t* ProgramStore::findLineFrom(std::uint16_t n) {
    std::uint8_t* r = area;
    for (std::uint16_t number; (number = recordNumber(r)) != 0 && number < n;) r += recordLength(r);
    return r;
}

std::uint8_t* ProgramStore::findLineWalk(std::uint16_t n) {
    LineCacheEntry& e = lineCache_[lineCacheSlot(n)];
    for (std::uint8_t* r = area; recordNumber(r) != 0; r += recordLength(r)) {
        if (recordNumber(r) == n) {
            e.generation = generation_;
            e.number = n;
            e.offset = static_cast<std::uint16_t>(r - area);
            return r;
        }
    }
    return nullptr;
}

ProgramStore::Edit ProgramStore::store(const std::uint8_t* tokenLine) {
    const std::uint16_t n = load16(tokenLine + 2);
    if (n == 0) return Edit::LineZero;
    std::uint8_t* r = findLineFrom(n);
    const std::uint16_t m = recordNumber(r);
    std::uint8_t* const used = area + usedBytes;

    const std::uint8_t* body = tokenLine + 4;
    while (*body == 0x20 || *body == 0x09 || *body == TOK_FILLER) ++body;
    if (*body == TOK_END) {
        if (m != n) return Edit::NotFound;
        const std::uint16_t length = recordLength(r);
        std::memmove(r, r + length, static_cast<std::size_t>(used - (r + length)));
        usedBytes = static_cast<std::uint16_t>(usedBytes - length);
        changed();
        return Edit::Done;
    }

    const std::uint16_t length = newRecordLength(tokenLine);
    if (m == n) {
        const int delta = length - recordLength(r);
        if (usedBytes + delta >= PROGRAM_AREA_BYTES) return Edit::OutOfMemory;
        std::uint8_t* end = r + recordLength(r);
        std::memmove(end + delta, end, static_cast<std::size_t>(used - end));
        usedBytes = static_cast<std::uint16_t>(usedBytes + delta);
    } else {
        if (usedBytes + length >= PROGRAM_AREA_BYTES) return Edit::OutOfMemory;
        std::memmove(r + length, r, static_cast<std::size_t>(used - r));
        usedBytes = static_cast<std::uint16_t>(usedBytes + length);
    }
    store16(r, n);
    store16(r + 2, length);
    std::memcpy(r + 4, tokenLine + 4, length - 4u);
    changed();
    return Edit::Done;
}

ProgramStore::Edit ProgramStore::append(const std::uint8_t* tokenLine) {
    const std::uint16_t n = load16(tokenLine + 2);
    if (n == 0) return Edit::LineZero;
    std::uint8_t* const marker = area + usedBytes - 2;
    std::uint16_t last = 0;
    if (usedBytes > 2) {
        for (std::uint8_t* r = area; recordNumber(r) != 0; r += recordLength(r)) last = recordNumber(r);
    }
    if (n <= last) return store(tokenLine);
    const std::uint16_t length = newRecordLength(tokenLine);
    if (usedBytes + length >= PROGRAM_AREA_BYTES) return Edit::OutOfMemory;
    store16(marker, n);
    store16(marker + 2, length);
    std::memcpy(marker + 4, tokenLine + 4, length - 4u);
    usedBytes = static_cast<std::uint16_t>(usedBytes + length);
    store16(area + usedBytes - 2, 0);
    changed();
    return Edit::Done;
}

void ProgramStore::clear() {
    store16(area, 0);
    usedBytes = 2;
    changed();
}

} // namespace tavik
