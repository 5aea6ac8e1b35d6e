#include "screen_text.h"

#include <algorithm>
#include <mutex>

namespace tavik {

namespace {

bool isBlank(std::uint16_t c) {
    return c == 0 || c == 0x20 || c == 0x3000;
}

} // namespace

std::u16string rowText(const TextScreen& screen, int row) {
    std::u16string text;
    if (row < 0 || row >= screen.rows || row >= GRID_CAPACITY) return text;
    const int columns = std::min<int>(screen.columns, GRID_CAPACITY);
    int end = columns;
    while (end > 0 && isBlank(screen.cellChar[TextScreen::cellIndex(end - 1, row)])) --end;
    text.reserve(static_cast<std::size_t>(end));
    for (int c = 0; c < end; ++c) {
        const std::uint16_t ch = screen.cellChar[TextScreen::cellIndex(c, row)];
        const bool control = (ch < 0x20 && ch != u'\t') || ch == 0x7F;
        text += (ch == 0 || control) ? u' ' : static_cast<char16_t>(ch);
    }
    return text;
}

std::u16string screenText(const Console& console) {
    std::lock_guard<std::recursive_mutex> guard(console.lock());
    std::u16string text;
    const int rows = std::min<int>(console.screen().rows, GRID_CAPACITY);
    for (int r = 0; r < rows; ++r) {
        text += rowText(console.screen(), r);
        text += u'\n';
    }
    return text;
}

} // namespace tavik
