#include "paste.h"

#include <algorithm>
#include <mutex>

namespace tavik {

namespace {

constexpr char16_t LF = 10;
constexpr char16_t CR = 13;
constexpr char16_t TAB = 9;

bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

} // namespace

PastePlan planPaste(std::u16string_view text, int lineLimit) {
    PastePlan plan;
    plan.units.reserve(text.size());
    int line = 1;
    int lineUnits = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == CR || c == LF) {
            if (c == CR && i + 1 < text.size() && text[i + 1] == LF) ++i;
            plan.units += CR;
            ++line;
            lineUnits = 0;
            continue;
        }
        if (isControl(c) && c != TAB) continue;
        if (++lineUnits > lineLimit) {
            // Measure the whole line, so the message can say how long it is.
            int length = lineUnits;
            for (std::size_t j = i + 1; j < text.size() && text[j] != CR && text[j] != LF; ++j)
                if (!isControl(text[j]) || text[j] == TAB) ++length;
            return PastePlan{{}, line, length};
        }
        plan.units += c;
    }
    return plan;
}

int pasteLineLimit(const Console& console) {
    std::lock_guard<std::recursive_mutex> guard(console.lock());
    const int room = console.screen().columns * (console.screen().rows - 1) - 1;
    return std::clamp(room, 1, PASTE_LINE_UNITS);
}

PasteResult pasteText(InputHandoff& handoff, std::u16string_view text) {
    const int limit = pasteLineLimit(handoff.console());
    PastePlan plan = planPaste(text, limit);
    if (plan.refusedLine != 0)
        return PasteResult{PasteResult::Refused, plan.refusedLine, plan.refusedUnits, limit};
    if (plan.units.empty()) return PasteResult{PasteResult::Empty, 0, 0, limit};
    handoff.typeAhead(plan.units);
    return PasteResult{PasteResult::Typed, 0, 0, limit};
}

std::string pasteMessage(const PasteResult& result) {
    if (result.outcome != PasteResult::Refused) return {};
    return "Nothing was pasted: line " + std::to_string(result.refusedLine) + " has " +
           std::to_string(result.refusedUnits) + " characters, and a line holds at most " +
           std::to_string(result.lineLimit) + ".";
}

} // namespace tavik
