#include "key_decoder.h"

#include "utf8.h"
#include "virtual_keys.h"

#include <algorithm>

namespace tavik {

namespace {

constexpr char ESC = 0x1B;
constexpr std::string_view PASTE_END = "\x1B[201~";
// A sequence longer than this is not one any terminal sends: it is dropped rather than waited on for ever.
constexpr std::size_t LONGEST_SEQUENCE = 64;

TerminalKey key(int virtualKey, std::u16string units, unsigned modifiers = 0) {
    TerminalKey k;
    k.virtualKey = virtualKey;
    k.units = std::move(units);
    k.modifiers = modifiers;
    // With Alt held a key types nothing, as in the window.
    if ((modifiers & MOD_ALT) != 0) k.units.clear();
    return k;
}

// The keys of the sequences ending in "~": VT220 numbers.
int tildeKey(int number) {
    switch (number) {
    case 1:
    case 7: return VK_HOME;
    case 2: return VK_INSERT;
    case 3: return VK_DELETE;
    case 4:
    case 8: return VK_END;
    case 5: return VK_PRIOR;
    case 6: return VK_NEXT;
    case 11: return VK_F1;
    case 12: return VK_F1 + 1;
    case 13: return VK_F1 + 2;
    case 14: return VK_F1 + 3;
    case 15: return VK_F1 + 4;
    case 17: return VK_F1 + 5;
    case 18: return VK_F1 + 6;
    case 19: return VK_F1 + 7;
    case 20: return VK_F1 + 8;
    case 21: return VK_F1 + 9;
    case 23: return VK_F1 + 10;
    case 24: return VK_F1 + 11;
    default: return 0;
    }
}

// The keys of sequences ending in a letter (CSI or SS3).
int letterKey(char final) {
    switch (final) {
    case 'A': return VK_UP;
    case 'B': return VK_DOWN;
    case 'C': return VK_RIGHT;
    case 'D': return VK_LEFT;
    case 'H': return VK_HOME;
    case 'F': return VK_END;
    case 'P': return VK_F1;
    case 'Q': return VK_F1 + 1;
    case 'R': return VK_F1 + 2;
    case 'S': return VK_F1 + 3;
    default: return 0;
    }
}

// The keypad in application mode (SS3 followed by a letter from 'j').
int keypadKey(char final, char16_t& unit) {
    static constexpr std::string_view letters = "jklmnopqrstuvwxy";
    static constexpr std::u16string_view typed = u"*+,-./0123456789";
    static constexpr int codes[] = {0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F, 0x60, 0x61,
                                    0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69};
    const auto at = letters.find(final);
    if (at == std::string_view::npos) return 0;
    unit = typed[at];
    return codes[at];
}

// xterm's modifier parameter: 1 + a bit set of Shift, Alt, Control (Meta counts as Alt).
unsigned modifiersOf(int parameter) {
    if (parameter < 2) return 0;
    const unsigned bits = static_cast<unsigned>(parameter - 1);
    unsigned m = 0;
    if ((bits & 1) != 0) m |= MOD_SHIFT;
    if ((bits & (2 | 8)) != 0) m |= MOD_ALT;
    if ((bits & 4) != 0) m |= MOD_CONTROL;
    return m;
}

} // namespace

int virtualKeyOfAscii(char32_t c, unsigned& modifiers) {
    if (c >= 'a' && c <= 'z') return static_cast<int>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') {
        modifiers |= MOD_SHIFT;
        return static_cast<int>(c);
    }
    if (c >= '0' && c <= '9') return static_cast<int>(c);
    static constexpr std::string_view shiftedDigits = ")!@#$%^&*(";
    if (c < 0x80) {
        const auto digit = shiftedDigits.find(static_cast<char>(c));
        if (digit != std::string_view::npos) {
            modifiers |= MOD_SHIFT;
            return static_cast<int>('0' + digit);
        }
    }
    struct Pair {
        char plain, shifted;
        int code;
    };
    static constexpr Pair symbols[] = {{';', ':', 0xBA}, {'=', '+', 0xBB}, {',', '<', 0xBC},
                                       {'-', '_', 0xBD}, {'.', '>', 0xBE}, {'/', '?', 0xBF},
                                       {'`', '~', 0xC0}, {'[', '{', 0xDB}, {'\\', '|', 0xDC},
                                       {']', '}', 0xDD}, {'\'', '"', 0xDE}};
    for (const Pair& p : symbols) {
        if (c == static_cast<char32_t>(p.plain)) return p.code;
        if (c == static_cast<char32_t>(p.shifted)) {
            modifiers |= MOD_SHIFT;
            return p.code;
        }
    }
    if (c == ' ') return VK_SPACE;
    return 0;
}

void KeyDecoder::feed(std::string_view bytes, std::vector<TerminalKey>& out) {
    pending_.append(bytes);
    while (!pending_.empty()) {
        if (inPaste_) {
            collectPaste(out);
            if (inPaste_) return;
            continue;
        }
        if (decodeOne(out, false) == Step::NeedMore) return;
    }
}

void KeyDecoder::expire(std::vector<TerminalKey>& out) {
    while (!pending_.empty() && !inPaste_) decodeOne(out, true);
}

void KeyDecoder::collectPaste(std::vector<TerminalKey>& out) {
    const auto end = pending_.find(PASTE_END);
    if (end == std::string::npos) {
        // Keep what could be the start of the end marker; the rest is pasted text.
        std::size_t keep = 0;
        for (std::size_t n = std::min(PASTE_END.size() - 1, pending_.size()); n > 0; --n) {
            if (PASTE_END.starts_with(std::string_view(pending_).substr(pending_.size() - n))) {
                keep = n;
                break;
            }
        }
        paste_.append(pending_, 0, pending_.size() - keep);
        pending_.erase(0, pending_.size() - keep);
        return;
    }
    paste_.append(pending_, 0, end);
    pending_.erase(0, end + PASTE_END.size());
    inPaste_ = false;
    TerminalKey k;
    k.kind = TerminalKey::Kind::Paste;
    k.units = utf16FromUtf8(paste_);
    paste_.clear();
    out.push_back(std::move(k));
}

KeyDecoder::Step KeyDecoder::decodeOne(std::vector<TerminalKey>& out, bool final) {
    const auto b = static_cast<unsigned char>(pending_[0]);
    if (b == ESC) return decodeEscape(out, final);
    std::size_t used = 0;
    if (decodeText(0, 0, final, out, used) == Step::NeedMore) return Step::NeedMore;
    pending_.erase(0, used);
    return Step::Done;
}

// One key from a plain byte or UTF-8 character at `from`.
KeyDecoder::Step KeyDecoder::decodeText(std::size_t from, unsigned modifiers, bool final,
                                        std::vector<TerminalKey>& out, std::size_t& used) {
    const auto b = static_cast<unsigned char>(pending_[from]);
    used = from + 1;
    switch (b) {
    case 13: out.push_back(key(VK_RETURN, u"\r", modifiers)); return Step::Done;
    case 9: out.push_back(key(VK_TAB, u"\t", modifiers)); return Step::Done;
    case 8:
    case 0x7F: out.push_back(key(VK_BACK, u"\b", modifiers)); return Step::Done;
    case 0:
        out.push_back(key(VK_SPACE, std::u16string(1, u'\0'), modifiers | MOD_CONTROL));
        return Step::Done;
    case ESC: out.push_back(key(VK_ESCAPE, u"\x1B", modifiers)); return Step::Done;
    default: break;
    }
    if (b < 0x20) {
        // Ctrl with a letter, or with one of the symbols \ ] ^ _ (28..31).
        const int code = b <= 26 ? 'A' + b - 1 : (b == 28 ? 0xDC : b == 29 ? 0xDD : b == 30 ? '6' : 0xBD);
        out.push_back(key(code, std::u16string(1, static_cast<char16_t>(b)), modifiers | MOD_CONTROL));
        return Step::Done;
    }
    const std::size_t length = utf8Length(b);
    if (pending_.size() - from < length) {
        // The rest of the character has not arrived; a byte that cannot continue it ends the wait.
        for (std::size_t i = from + 1; i < pending_.size(); ++i) {
            const auto c = static_cast<unsigned char>(pending_[i]);
            if (c < 0x80 || c > 0xBF) {
                out.push_back(key(0, u"\uFFFD", modifiers));
                return Step::Done;
            }
        }
        if (final) {
            out.push_back(key(0, u"\uFFFD", modifiers));
            used = pending_.size();
            return Step::Done;
        }
        return Step::NeedMore;
    }
    const std::u16string units = utf16FromUtf8(pending_.substr(from, length));
    if (units.size() > 1 && units[0] == 0xFFFD) {
        // A broken sequence: its first byte stands for itself, the rest is read again.
        out.push_back(key(0, u"\uFFFD", modifiers));
        return Step::Done;
    }
    used = from + length;
    unsigned m = modifiers;
    const int vk = units.size() == 1 && units[0] < 0x80 ? virtualKeyOfAscii(units[0], m) : 0;
    out.push_back(key(vk, units, m));
    return Step::Done;
}

KeyDecoder::Step KeyDecoder::decodeEscape(std::vector<TerminalKey>& out, bool final) {
    if (pending_.size() == 1) {
        if (!final) return Step::NeedMore;
        out.push_back(key(VK_ESCAPE, u"\x1B"));
        pending_.clear();
        return Step::Done;
    }
    const char second = pending_[1];
    if (second == '[' || second == 'O') {
        // CSI: parameters, intermediates, a final byte. SS3: an optional parameter, a final byte. The Linux
        // console's F1..F5 are CSI [ and a letter.
        std::size_t i = 2;
        if (second == '[' && pending_.size() > 2 && pending_[2] == '[') {
            if (pending_.size() < 4) {
                if (!final) return Step::NeedMore;
            } else {
                const char letter = pending_[3];
                if (letter >= 'A' && letter <= 'E') out.push_back(key(VK_F1 + (letter - 'A'), u""));
                pending_.erase(0, 4);
                return Step::Done;
            }
        } else {
            while (i < pending_.size()) {
                const auto c = static_cast<unsigned char>(pending_[i]);
                if (c >= 0x40 && c <= 0x7E) break;
                if (c < 0x20 || c > 0x3F || (second == 'O' && i > 3)) {
                    i = std::string::npos; // not a sequence after all
                    break;
                }
                ++i;
            }
            if (i != std::string::npos && i < pending_.size()) {
                std::vector<int> parameters{0};
                bool privateMarker = false;
                for (std::size_t p = 2; p < i; ++p) {
                    const char c = pending_[p];
                    if (c >= '0' && c <= '9')
                        parameters.back() = std::min(parameters.back() * 10 + (c - '0'), 100000);
                    else if (c == ';' || c == ':')
                        parameters.push_back(0);
                    else
                        privateMarker = true;
                }
                const char finalByte = pending_[i];
                const bool mouseReport = second == '[' && pending_[2] == '<';
                pending_.erase(0, i + 1);
                if (mouseReport) {
                    // CSI < button ; column ; row M (pressed) or m (released). Only a press of the primary
                    // button counts: not a release, a drag (32), the wheel (64) or another button.
                    if (finalByte == 'M' && parameters.size() == 3 && (parameters[0] & (3 | 32 | 64)) == 0) {
                        TerminalKey press;
                        press.kind = TerminalKey::Kind::Press;
                        press.column = parameters[1] - 1;
                        press.row = parameters[2] - 1;
                        out.push_back(press);
                    }
                    return Step::Done;
                }
                if (privateMarker) return Step::Done; // a report we did not ask for
                const unsigned m = modifiersOf(parameters.size() > 1 ? parameters[1] : 0);
                if (second == '[' && finalByte == '~') {
                    if (parameters[0] == 200) {
                        inPaste_ = true;
                        return Step::Done;
                    }
                    if (const int vk = tildeKey(parameters[0])) out.push_back(key(vk, u"", m));
                } else if (finalByte == 'Z' && second == '[') {
                    out.push_back(key(VK_TAB, u"\t", MOD_SHIFT));
                } else if (second == 'O' && finalByte == 'M') {
                    out.push_back(key(VK_RETURN, u"\r", m));
                } else if (const int vk = letterKey(finalByte)) {
                    // SS3 carries the modifier as its only parameter.
                    const unsigned mods = second == 'O' ? modifiersOf(parameters[0]) : m;
                    out.push_back(key(vk, u"", mods));
                } else if (char16_t unit = 0; second == 'O') {
                    if (const int vk = keypadKey(finalByte, unit))
                        out.push_back(key(vk, std::u16string(1, unit)));
                }
                return Step::Done;
            }
            if (i != std::string::npos && pending_.size() < LONGEST_SEQUENCE && !final) return Step::NeedMore;
            if (i != std::string::npos && !final) {
                pending_.clear(); // endless junk
                return Step::Done;
            }
        }
    }
    // Esc and what follows: Alt held with that key, or, at the end of the wait, a lone Esc.
    if (second == ESC || (final && (second == '[' || second == 'O'))) {
        out.push_back(key(VK_ESCAPE, u"\x1B"));
        pending_.erase(0, 1);
        return Step::Done;
    }
    std::size_t used = 0;
    if (decodeText(1, MOD_ALT, final, out, used) == Step::NeedMore) return Step::NeedMore;
    pending_.erase(0, used);
    return Step::Done;
}

} // namespace tavik
