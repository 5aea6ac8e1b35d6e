// The statements through which a program talks to the console, the graphics plane and the device.
// Operands are parsed before any range is tested, so a syntax error wins over a parameter error.
#include "console.h"
#include "interpreter_inline.h"

namespace tavik {

bool Interpreter::atEndOfStatement() {
    const std::uint8_t b = nextSignificantByte();
    --readPtr;
    return endsStatement(b);
}

// DEBUG prints as PRINT does.
void Interpreter::stDebug() {
    stPrint();
}

void Interpreter::stPrint() {
    std::uint8_t last = 0;
    std::uint8_t b = nextSignificantByte();
    while (!endsStatement(b)) {
        last = b;
        if (b == TOK_STRING) {
            char16_t text[SOURCE_LINE_UNITS];
            readStringLiteral(text, SOURCE_LINE_UNITS);
            console.putString(text);
        } else if (b == ',') {
            console.tabForward();
        } else if (b == ';') {
            // Only keeps the cursor on the line.
        } else if (b == T_CHR) {
            const std::int16_t v = evalExpression();
            if (errorFlag) return;
            const char16_t text[2] = {static_cast<char16_t>(v), 0};
            console.putString(text);
        } else {
            --readPtr;
            const std::int16_t v = evalExpression();
            if (errorFlag) return;
            outFormat(nullptr, u"%d", {static_cast<int>(v)});
        }
        b = nextSignificantByte();
    }
    --readPtr;
    if (last != ';' && last != ',') console.newLine();
}

bool Interpreter::readPair(std::int16_t& x, std::int16_t& y) {
    x = evalExpression();
    if (errorFlag) return false;
    if (nextSignificantByte() != ',') {
        errSyntax();
        return false;
    }
    y = evalExpression();
    return !errorFlag;
}

void Interpreter::stLocate() {
    std::int16_t x, y;
    if (readPair(x, y)) console.locate(x, y);
}

void Interpreter::stCls() {
    console.clearScreen();
}

void Interpreter::stWidth() {
    const std::int16_t cols = evalExpression();
    if (errorFlag) return;
    if (nextSignificantByte() != ',') {
        errSyntax();
        return;
    }
    const std::int16_t rows = evalExpression();
    if (errorFlag) return;
    std::int16_t font = 0;
    if (!atEndOfStatement()) {
        if (nextSignificantByte() != ',') {
            errSyntax();
            return;
        }
        font = evalExpression();
        if (errorFlag) return;
    }
    if (cols < 10 || cols > GRID_CAPACITY || rows < 10 || rows > GRID_CAPACITY || font < 0 || font > 64) {
        errParameter();
        return;
    }
    console.setConsoleSize(cols, rows, font);
}

void Interpreter::stConsole() {
    std::int16_t top, height;
    if (!readPair(top, height)) return;
    if (top < 0 || height < 1 || top + height > console.rowCount()) {
        errParameter();
        return;
    }
    console.setScrollRegion(top, height);
}

void Interpreter::stFcolor() {
    std::uint8_t c[3];
    if (readRgb(c)) console.setForeground(rgb(c[0], c[1], c[2]));
}

void Interpreter::stBcolor() {
    std::uint8_t c[3];
    if (readRgb(c)) console.setBackground(rgb(c[0], c[1], c[2]));
}

void Interpreter::stGraph() {
    if (atEndOfStatement()) {
        console.resetLayout();
        return;
    }
    std::int16_t v[3];
    for (int i = 0; i < 3; ++i) {
        v[i] = evalExpression();
        if (errorFlag) return;
        if (i < 2 && nextSignificantByte() != ',') {
            errSyntax();
            return;
        }
    }
    if (v[0] < 1 || v[0] > console.rowCount() - 2 || v[1] < 1 || v[1] > PLANE_MAX_SIDE || v[2] < 1 ||
        v[2] > PLANE_MAX_SIDE) {
        errParameter();
        return;
    }
    console.openPlane(v[0], v[1], v[2]);
}

void Interpreter::stGcls() {
    console.clearPlane();
}

void Interpreter::stPset() {
    std::int16_t x, y;
    if (!readPair(x, y)) return;
    if (!plotLockHeld) {
        console.lock().lock();
        plotLockHeld = true;
        plotLockCount = 0;
    }
    console.plotPointLocked(x, y);
    if (++plotLockCount >= PLOT_LOCK_STATEMENTS) dropPlotLock();
}

void Interpreter::dropPlotLock() {
    plotLockHeld = false;
    console.lock().unlock();
}

void Interpreter::stWaitms() {
    const std::int16_t ms = evalExpression();
    if (errorFlag) return;
    if (ms < 0 || ms > 3000) {
        errParameter();
        return;
    }
    host.sleepMs(ms);
}

void Interpreter::stRandomize() {
    const std::int16_t seed = evalExpression();
    if (errorFlag) return;
    srand(static_cast<std::uint32_t>(static_cast<std::int32_t>(seed)));
}

void Interpreter::stOrient() {
    const std::int16_t mode = evalExpression();
    if (errorFlag) return;
    switch (mode) {
    case -1:
        // Waits for the user to turn the screen; a break (or the application ending) gives up.
        while (host.screenWidth() <= host.screenHeight()) {
            if (errorFlag || breakRequested.load(std::memory_order_relaxed) || host.shuttingDown()) return;
            if (host.inputClosed()) {
                breakRequested.store(1, std::memory_order_relaxed);
                return;
            }
            host.sleepMs(100);
        }
        return;
    case 0: host.changeOrientation(0); return;
    case 1:
    case 90: host.changeOrientation(1); return;
    case 270: host.changeOrientation(4); return;
    default: errParameter(); return;
    }
}

} // namespace tavik
