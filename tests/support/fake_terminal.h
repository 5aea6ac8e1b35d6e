#pragma once
// A terminal for tests: it reads what the cell writer sends (cursor moves, colours, clearing, the cursor's
// visibility, UTF-8 text placed by its width, no wrap at the right edge) into a grid that tests read back.
#include "colour.h"
#include "terminal_frame.h"

#include <string>
#include <string_view>
#include <vector>

namespace tavik::test {

class FakeTerminal {
  public:
    struct Cell {
        char32_t ch = U' ';
        bool rightHalf = false;
        Colour fore = 0xABCDEF; // never sent: shows a cell nobody wrote
        Colour back = 0xABCDEF;
    };

    FakeTerminal(int columns, int rows) : columns_(columns), rows_(rows), cells_(columns * rows) {}

    void feed(std::string_view bytes) {
        std::size_t i = 0;
        while (i < bytes.size()) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            if (b == 0x1B) {
                i = escape(bytes, i);
                continue;
            }
            if (b == '\a') {
                ++bells;
                ++i;
                continue;
            }
            std::size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
            char32_t cp = length == 1 ? b : b & (0x3F >> (length - 1));
            for (std::size_t k = 1; k < length; ++k) cp = (cp << 6) | (bytes[i + k] & 0x3F);
            i += length;
            put(cp);
        }
    }

    const Cell& at(int column, int row) const { return cells_[row * columns_ + column]; }
    // A row's characters as UTF-32, the right halves of wide characters left out.
    std::u32string row(int r) const {
        std::u32string text;
        for (int c = 0; c < columns_; ++c)
            if (!at(c, r).rightHalf) text += at(c, r).ch;
        return text;
    }

    int cursorColumn = 0;
    int cursorRow = 0;
    bool cursorVisible = true;
    int bells = 0;
    int clears = 0;
    int charactersWritten = 0;

  private:
    std::size_t escape(std::string_view bytes, std::size_t i) {
        // CSI [?] parameters final
        std::size_t j = i + 2;
        bool privateMode = j < bytes.size() && bytes[j] == '?';
        if (privateMode) ++j;
        std::vector<int> p{0};
        while (j < bytes.size() && ((bytes[j] >= '0' && bytes[j] <= '9') || bytes[j] == ';')) {
            if (bytes[j] == ';')
                p.push_back(0);
            else
                p.back() = p.back() * 10 + (bytes[j] - '0');
            ++j;
        }
        const char final = bytes[j];
        if (privateMode && p[0] == 25) cursorVisible = final == 'h';
        if (!privateMode && final == 'H') {
            cursorRow = p[0] - 1;
            cursorColumn = p.size() > 1 ? p[1] - 1 : 0;
        }
        if (!privateMode && final == 'J' && p[0] == 2) {
            ++clears;
            for (Cell& c : cells_) c = Cell{U' ', false, 0xFFFFFF, 0};
        }
        if (!privateMode && final == 'm') {
            for (std::size_t k = 0; k < p.size(); ++k) {
                if ((p[k] == 38 || p[k] == 48) && p[k + 1] == 2) {
                    (p[k] == 38 ? fore_ : back_) = rgb(p[k + 2], p[k + 3], p[k + 4]);
                    k += 4;
                } else if ((p[k] == 38 || p[k] == 48) && p[k + 1] == 5) {
                    (p[k] == 38 ? fore_ : back_) = 0x1000000u + p[k + 2]; // a palette index, marked
                    k += 2;
                }
            }
        }
        return j + 1;
    }

    void put(char32_t cp) {
        const int width = characterWidth(cp) == 2 ? 2 : 1;
        if (cursorColumn + width > columns_ || cursorRow >= rows_) return;
        ++charactersWritten;
        // Writing over half of a wide character leaves its other half blank, as terminals do.
        Cell& here = cells_[cursorRow * columns_ + cursorColumn];
        if (here.rightHalf && cursorColumn > 0) cells_[cursorRow * columns_ + cursorColumn - 1].ch = U' ';
        const int after = cursorColumn + width;
        if (after < columns_ && cells_[cursorRow * columns_ + after].rightHalf) {
            cells_[cursorRow * columns_ + after].rightHalf = false;
            cells_[cursorRow * columns_ + after].ch = U' ';
        }
        here = {cp, false, fore_, back_};
        if (width == 2) cells_[cursorRow * columns_ + cursorColumn + 1] = {U' ', true, fore_, back_};
        cursorColumn = std::min(cursorColumn + width, columns_ - 1);
    }

    int columns_, rows_;
    std::vector<Cell> cells_;
    Colour fore_ = 0;
    Colour back_ = 0;
};

} // namespace tavik::test
