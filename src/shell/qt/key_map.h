#pragma once
// A desktop key press as the two messages the system expects: the Windows virtual-key code of the key (for
// key requests, cursor keys and KEY()) and the UTF-16 units it types (for character and line requests).
#include "virtual_keys.h"

#include <QString>
#include <Qt>

#include <string>

namespace tavik {

struct KeyStroke {
    // 0 when the key has no virtual-key code here.
    int virtualKey = 0;
    // What the key types; empty for keys that type nothing (cursor keys, Delete, function keys) and for
    // every key with Alt held (the system menu's keys type nothing).
    std::u16string units;
    // Ctrl held without Shift or Alt: the state in which accelerators are looked for.
    bool controlOnly = false;
};

// The virtual-key code of a Qt key. Keypad digits and operators have their own codes; a shifted symbol takes
// the code of its key on a US keyboard.
int virtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);

KeyStroke translateKey(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text);

} // namespace tavik
