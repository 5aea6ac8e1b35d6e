#include "key_map.h"

namespace tavik {

namespace {

// Shifted symbols of a US keyboard and the key that types them.
int baseKeyOfSymbol(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_Asterisk: return '8';
    case Qt::Key_ParenLeft: return '9';
    case Qt::Key_ParenRight: return '0';
    case Qt::Key_Underscore: return Qt::Key_Minus;
    case Qt::Key_Plus: return Qt::Key_Equal;
    case Qt::Key_Colon: return Qt::Key_Semicolon;
    case Qt::Key_QuoteDbl: return Qt::Key_Apostrophe;
    case Qt::Key_Less: return Qt::Key_Comma;
    case Qt::Key_Greater: return Qt::Key_Period;
    case Qt::Key_Question: return Qt::Key_Slash;
    case Qt::Key_AsciiTilde: return Qt::Key_QuoteLeft;
    case Qt::Key_BraceLeft: return Qt::Key_BracketLeft;
    case Qt::Key_BraceRight: return Qt::Key_BracketRight;
    case Qt::Key_Bar: return Qt::Key_Backslash;
    default: return qtKey;
    }
}

int keypadCode(int qtKey) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return 0x60 + (qtKey - Qt::Key_0); // VK_NUMPAD0..9
    switch (qtKey) {
    case Qt::Key_Asterisk: return 0x6A; // VK_MULTIPLY
    case Qt::Key_Plus: return 0x6B;     // VK_ADD
    case Qt::Key_Minus: return 0x6D;    // VK_SUBTRACT
    case Qt::Key_Period: return 0x6E;   // VK_DECIMAL
    case Qt::Key_Comma: return 0x6E;
    case Qt::Key_Slash: return 0x6F; // VK_DIVIDE
    default: return 0;
    }
}

} // namespace

int virtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers) {
    if (modifiers.testFlag(Qt::KeypadModifier)) {
        if (const int code = keypadCode(qtKey)) return code;
    }
    const int key = baseKeyOfSymbol(qtKey);
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return 0x41 + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return 0x30 + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Clear: return 0x0C;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt:
    case Qt::Key_AltGr: return VK_MENU;
    case Qt::Key_Pause: return 0x13;
    case Qt::Key_CapsLock: return 0x14;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return 0x21;
    case Qt::Key_PageDown: return 0x22;
    case Qt::Key_End: return 0x23;
    case Qt::Key_Home: return 0x24;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    case Qt::Key_Print: return 0x2C;
    case Qt::Key_Insert: return 0x2D;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Help: return 0x2F;
    case Qt::Key_Meta:
    case Qt::Key_Super_L: return 0x5B; // VK_LWIN
    case Qt::Key_Super_R: return 0x5C;
    case Qt::Key_Menu: return 0x5D; // VK_APPS
    case Qt::Key_NumLock: return 0x90;
    case Qt::Key_ScrollLock: return 0x91;
    case Qt::Key_Semicolon: return 0xBA;    // VK_OEM_1
    case Qt::Key_Equal: return 0xBB;        // VK_OEM_PLUS
    case Qt::Key_Comma: return 0xBC;        // VK_OEM_COMMA
    case Qt::Key_Minus: return 0xBD;        // VK_OEM_MINUS
    case Qt::Key_Period: return 0xBE;       // VK_OEM_PERIOD
    case Qt::Key_Slash: return 0xBF;        // VK_OEM_2
    case Qt::Key_QuoteLeft: return 0xC0;    // VK_OEM_3
    case Qt::Key_BracketLeft: return 0xDB;  // VK_OEM_4
    case Qt::Key_Backslash: return 0xDC;    // VK_OEM_5
    case Qt::Key_BracketRight: return 0xDD; // VK_OEM_6
    case Qt::Key_Apostrophe: return 0xDE;   // VK_OEM_7
    case Qt::Key_yen: return 0xDC;
    default: return 0;
    }
}

KeyStroke translateKey(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text) {
    KeyStroke stroke;
    stroke.virtualKey = virtualKeyOf(qtKey, modifiers);
    const Qt::KeyboardModifiers held =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    stroke.controlOnly = held == Qt::ControlModifier;
    if (held.testFlag(Qt::AltModifier)) return stroke;

    // The keys whose characters are fixed whatever the desktop puts in the text.
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter: stroke.units = u"\r"; return stroke;
    case Qt::Key_Backspace: stroke.units = u"\b"; return stroke;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: stroke.units = u"\t"; return stroke;
    case Qt::Key_Escape: stroke.units = u"\x1B"; return stroke;
    case Qt::Key_Delete: return stroke;
    default: break;
    }
    if (held.testFlag(Qt::ControlModifier) && qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        stroke.units.assign(1, static_cast<char16_t>(qtKey - Qt::Key_A + 1));
        return stroke;
    }
    for (const QChar c : text) {
        // DEL is what some desktops type for the Delete key; the system's Delete types nothing.
        if (c.unicode() == 0x7F) continue;
        stroke.units.push_back(c.unicode());
    }
    return stroke;
}

} // namespace tavik
