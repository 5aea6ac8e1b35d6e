// The keyword lists, one per first letter, made at compile time from the one keyword list (statements.h).
// The tokenizer takes the first entry whose name begins the typed word, so each list runs longest name first:
// "orient" is tried before "or".
#include "tokens.h"

#include <array>
#include <cstddef>

namespace tavik {
namespace {

constexpr std::size_t KEYWORD_COUNT = std::size(keyword_checks::AllKeywords);

constexpr int lengthOf(const char16_t* s) {
    int n = 0;
    while (s[n] != 0) ++n;
    return n;
}

// All 26 lists in one array, each ended by {0, nullptr}; start[letter] is where a letter's list begins, or
// -1.
struct Lists {
    std::array<KeywordEntry, KEYWORD_COUNT + 26> entries{};
    std::array<int, 26> start{};
};

constexpr Lists makeLists() {
    Lists l;
    std::size_t n = 0;
    for (int letter = 0; letter < 26; ++letter) {
        l.start[letter] = -1;
        const std::size_t first = n;
        for (const keyword_checks::Code& k : keyword_checks::AllKeywords) {
            if (k.spelling[0] != u'a' + letter) continue;
            // Insertion by length, longest first; equal lengths keep the list's order.
            std::size_t at = n++;
            while (at > first && lengthOf(l.entries[at - 1].name) < lengthOf(k.spelling)) {
                l.entries[at] = l.entries[at - 1];
                --at;
            }
            l.entries[at] = {static_cast<std::uint16_t>(k.code), k.spelling};
        }
        if (n == first) continue;
        l.start[letter] = static_cast<int>(first);
        l.entries[n++] = {0, nullptr};
    }
    return l;
}

constexpr Lists lists = makeLists();

// The lister's reverse map.
constexpr std::array<const char16_t*, 256> makeNames() {
    std::array<const char16_t*, 256> names{};
    for (const keyword_checks::Code& k : keyword_checks::AllKeywords) names[k.code] = k.spelling;
    return names;
}

constexpr std::array<const char16_t*, 256> names = makeNames();

constexpr const KeywordEntry* listOf(int letter) {
    return lists.start[letter] < 0 ? nullptr : &lists.entries[lists.start[letter]];
}

} // namespace

const KeywordEntry* const KeywordTable[26] = {
    listOf(0),  listOf(1),  listOf(2),  listOf(3),  listOf(4),  listOf(5),  listOf(6),
    listOf(7),  listOf(8),  listOf(9),  listOf(10), listOf(11), listOf(12), listOf(13),
    listOf(14), listOf(15), listOf(16), listOf(17), listOf(18), listOf(19), listOf(20),
    listOf(21), listOf(22), listOf(23), listOf(24), listOf(25),
};

const char16_t* keywordName(std::uint8_t token) {
    return names[token];
}

} // namespace tavik
