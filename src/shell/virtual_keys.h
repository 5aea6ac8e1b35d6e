#pragma once
// Windows virtual-key codes: what a key press is called when it reaches the console, whichever host read it.
// The keys the line editor acts on are the console's own (VK_LEFT..VK_DOWN, VK_HOME, VK_END, VK_DELETE).
#include "line_editor.h"

namespace tavik {

constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21; // Page Up
constexpr int VK_NEXT = 0x22;  // Page Down
constexpr int VK_INSERT = 0x2D;
constexpr int VK_F1 = 0x70;

} // namespace tavik
