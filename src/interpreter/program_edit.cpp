// The program edits beyond one line: deleting a range of lines and renumbering with the references that
// name the renumbered lines. Both work in place: a record's length never changes, since a line number in
// a header and a literal target are both 16-bit values.
#include "program_store.h"

#include <algorithm>
#include <cstring>

namespace tavik {

namespace {

inline bool isBlankByte(std::uint8_t b) {
    return b == 0x20 || b == 0x09 || b == TOK_FILLER;
}

const std::uint8_t* skipBlanks(const std::uint8_t* p) {
    while (isBlankByte(*p)) ++p;
    return p;
}

// A byte that carries an expression on after a factor.
bool continuesExpression(std::uint8_t b) {
    switch (b) {
    case '+':
    case '-':
    case '*':
    case '/':
    case '<':
    case '=':
    case '>':
    case T_AND:
    case T_OR:
    case T_XOR: return true;
    default: return false;
    }
}

} // namespace

int ProgramStore::eraseLines(std::uint16_t from, std::uint16_t to) {
    std::uint8_t* const start = findLineFrom(from);
    std::uint8_t* end = start;
    int count = 0;
    for (std::uint16_t n; (n = recordNumber(end)) != 0 && n <= to; end += recordLength(end)) ++count;
    if (count == 0) return 0;
    std::uint8_t* const used = area + usedBytes;
    std::memmove(start, end, static_cast<std::size_t>(used - end));
    usedBytes = static_cast<std::uint16_t>(usedBytes - (end - start));
    changed();
    return count;
}

ProgramStore::Renumber ProgramStore::renumber(std::uint16_t first, std::uint16_t from, std::uint16_t step,
                                              RenumberReport& report) {
    int lines = 0;
    int firstMoved = -1; // index of the first line renumbered
    for (std::uint8_t* r = area; recordNumber(r) != 0; r += recordLength(r)) {
        if (firstMoved < 0 && recordNumber(r) >= from) firstMoved = lines;
        oldNumbers_[lines++] = recordNumber(r);
    }
    if (firstMoved < 0) return Renumber::Done; // nothing from there on
    const long last = first + static_cast<long>(step) * (lines - 1 - firstMoved);
    if (last > LAST_LINE_NUMBER) return Renumber::Overflow;
    if (firstMoved > 0 && first <= oldNumbers_[firstMoved - 1]) return Renumber::Collision;

    const std::uint16_t* const begin = oldNumbers_;
    const std::uint16_t* const end = oldNumbers_ + lines;
    auto newNumber = [&](int index) {
        return index < firstMoved ? oldNumbers_[index]
                                  : static_cast<std::uint16_t>(first + step * (index - firstMoved));
    };

    int index = 0;
    for (std::uint8_t* r = area; recordNumber(r) != 0; r += recordLength(r), ++index) {
        const std::uint16_t line = newNumber(index);
        // One report for a target named again in the same line.
        std::uint16_t lastUndefined = 0;
        bool computedSeen = false;
        for (const std::uint8_t* p = r + 4; *p != TOK_END; p = skipElement(p)) {
            const std::uint8_t b = *p;
            if (b != T_GOTO && b != T_GOSUB && b != T_THEN && b != T_RUN) continue;
            const std::uint8_t* q = skipBlanks(p + 1);
            // After THEN only a decimal literal is a jump; after RUN a bare RUN or a file name is none.
            const bool literal = *q == TOK_DECIMAL || (*q == TOK_HEX && b != T_THEN);
            if (!literal) {
                if (b == T_THEN || endsStatement(*q) || *q == TOK_STRING) continue;
                if (!computedSeen) report.computedLine(line);
                computedSeen = true;
                continue;
            }
            if (continuesExpression(*skipBlanks(q + 3))) {
                if (!computedSeen) report.computedLine(line);
                computedSeen = true;
                continue;
            }
            const std::uint16_t target = load16(q + 1);
            const std::uint16_t* found = std::lower_bound(begin, end, target);
            if (found == end || *found != target) {
                if (target != lastUndefined) report.undefinedLine(target, line);
                lastUndefined = target;
                continue;
            }
            // The records are ours to write: q points into this area.
            store16(area + (q + 1 - area), newNumber(static_cast<int>(found - begin)));
        }
    }
    index = 0;
    for (std::uint8_t* r = area; recordNumber(r) != 0; r += recordLength(r), ++index)
        store16(r, newNumber(index));
    changed();
    return Renumber::Done;
}

} // namespace tavik
