#pragma once
// The terminal's keyboard: the bytes a terminal sends for its keys (UTF-8 text, control codes, and the
// escape sequences of xterm, rxvt, VT220 and the Linux console) become the two messages the console
// expects: the Windows virtual-key code of the key and the UTF-16 units it types, as the window gives them.
// A lone Esc is told apart from the start of a sequence by a short wait, which the caller measures: while
// waitingForMore() is true and no byte comes within ESC_WAIT_MS, it calls expire(). Bracketed paste
// arrives as one event holding the pasted text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavik {

// Long enough for a sequence split across packets of a remote session, short enough not to be felt.
constexpr int ESC_WAIT_MS = 50;

enum KeyModifier : unsigned { MOD_SHIFT = 1, MOD_ALT = 2, MOD_CONTROL = 4 };

struct TerminalKey {
    // Press: the primary mouse button went down on the terminal cell (column, row), counted from 0 (an SGR
    // mouse report; the terminal sends them while mouse reporting is on).
    enum class Kind { Key, Paste, Press };
    Kind kind = Kind::Key;
    // 0 when the key has no virtual-key code.
    int virtualKey = 0;
    // What the key types; empty for keys that type nothing (cursor keys, Delete, function keys) and for
    // every key with Alt held. For a paste, the pasted text.
    std::u16string units;
    unsigned modifiers = 0;
    int column = 0;
    int row = 0;

    bool operator==(const TerminalKey&) const = default;
};

class KeyDecoder {
  public:
    // Decodes what it can of the bytes; an incomplete sequence or character waits for the next feed.
    void feed(std::string_view bytes, std::vector<TerminalKey>& out);
    // Bytes wait that may still be the start of a sequence: after ESC_WAIT_MS without more, call expire().
    bool waitingForMore() const { return !pending_.empty() && !inPaste_; }
    // The wait is over: a waiting Esc is the Esc key (a lone Esc) or Alt held with what followed it.
    void expire(std::vector<TerminalKey>& out);

  private:
    enum class Step { Done, NeedMore };
    Step decodeOne(std::vector<TerminalKey>& out, bool final);
    Step decodeEscape(std::vector<TerminalKey>& out, bool final);
    Step decodeText(std::size_t from, unsigned modifiers, bool final, std::vector<TerminalKey>& out,
                    std::size_t& used);
    void collectPaste(std::vector<TerminalKey>& out);

    std::string pending_;
    bool inPaste_ = false;
    std::string paste_;
};

// The virtual-key code and modifiers of a typed ASCII character on a US keyboard (a shifted symbol takes
// the code of its key); 0 for characters without a key.
int virtualKeyOfAscii(char32_t c, unsigned& modifiers);

} // namespace tavik
