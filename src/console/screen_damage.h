#pragma once
// What changed on the screen since the host that draws last looked: runs of cells row by row, the plane's
// pixels, or everything. The console records it as it changes the model; the drawing host takes it (and so
// resets it) under the console's lock each time it draws, and draws only that.
#include "layout.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace tavik {

constexpr int DAMAGE_ROWS = 100; // the grid's capacity

struct ScreenDamage {
    // Columns [left, right) of one row; empty when left >= right.
    struct Span {
        std::int16_t left = DAMAGE_ROWS;
        std::int16_t right = 0;
        bool empty() const { return left >= right; }
    };

    // Everything: margins, the plane's band and every row (a clear, a size change, the plane opened, closed
    // or cleared, the host's area moved).
    bool all = false;
    // Some row has a span.
    bool anyRow = false;
    std::array<Span, DAMAGE_ROWS> rows{};
    // The plane pixels that changed, in the bitmap's own pixels; empty when none did.
    PixelRect planePixels{};

    bool any() const { return all || anyRow || planePixels.width() > 0; }
    bool planeChanged() const { return planePixels.width() > 0; }
    // The row's changed columns: all of them when everything changed.
    Span row(int r, int columns) const {
        if (all) return {0, static_cast<std::int16_t>(columns)};
        if (r < 0 || r >= DAMAGE_ROWS) return {};
        return rows[static_cast<std::size_t>(r)];
    }

    void cells(int r, int left, int right) {
        if (r < 0 || r >= DAMAGE_ROWS || left >= right) return;
        Span& s = rows[static_cast<std::size_t>(r)];
        s.left = static_cast<std::int16_t>(std::min<int>(s.left, std::max(left, 0)));
        s.right = static_cast<std::int16_t>(std::max<int>(s.right, std::min(right, DAMAGE_ROWS)));
        anyRow = true;
    }
    void cell(int column, int r) { cells(r, column, column + 1); }
    void planePixel(int x, int y) {
        PixelRect& p = planePixels;
        if (p.width() <= 0) {
            p = {x, y, x + 1, y + 1};
            return;
        }
        p = {std::min(p.left, x), std::min(p.top, y), std::max(p.right, x + 1), std::max(p.bottom, y + 1)};
    }
    // Adds what another record names.
    void add(const ScreenDamage& other) {
        all = all || other.all;
        if (other.anyRow)
            for (int r = 0; r < DAMAGE_ROWS; ++r) {
                const Span& s = other.rows[static_cast<std::size_t>(r)];
                if (!s.empty()) cells(r, s.left, s.right);
            }
        if (other.planeChanged()) {
            planePixel(other.planePixels.left, other.planePixels.top);
            planePixel(other.planePixels.right - 1, other.planePixels.bottom - 1);
        }
    }
    void clear() {
        all = false;
        if (anyRow) rows.fill(Span{});
        anyRow = false;
        planePixels = {};
    }
};

} // namespace tavik
