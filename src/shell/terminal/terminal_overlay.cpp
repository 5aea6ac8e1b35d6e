#include "terminal_overlay.h"

#include "shell_resources.h"
#include "utf16.h"
#include "virtual_keys.h"

#include <algorithm>
#include <vector>

namespace tavik {

namespace {

constexpr Colour BOX_TEXT = 0x000000;
constexpr Colour BOX_BACK = 0xFFFFFF;
constexpr Colour SELECTED_TEXT = 0xFFFFFF;
constexpr Colour SELECTED_BACK = 0x603020; // the About box's caption blue, 0x00BBGGRR
constexpr Colour LINE_TEXT = 0x000000;
constexpr char16_t ESCAPE = 0x1B;
constexpr char16_t ENTER = 13;
constexpr int F10 = VK_F1 + 9;

// A frame of box-drawing lines (or ASCII where the terminal has no Unicode) filled with the box's colour.
void drawBox(TerminalFrame& frame, const TerminalTraits& traits, int left, int top, int width, int height) {
    const bool u = traits.unicode;
    const char32_t h = u ? U'─' : U'-', v = u ? U'│' : U'|';
    const char32_t tl = u ? U'┌' : U'+', tr = u ? U'┐' : U'+', bl = u ? U'└' : U'+', br = u ? U'┘' : U'+';
    frame.fill(left, top, left + width, top + height, BOX_BACK);
    for (int x = left + 1; x < left + width - 1; ++x) {
        frame.put(x, top, h, 1, BOX_TEXT, BOX_BACK);
        frame.put(x, top + height - 1, h, 1, BOX_TEXT, BOX_BACK);
    }
    for (int y = top + 1; y < top + height - 1; ++y) {
        frame.put(left, y, v, 1, BOX_TEXT, BOX_BACK);
        frame.put(left + width - 1, y, v, 1, BOX_TEXT, BOX_BACK);
    }
    frame.put(left, top, tl, 1, BOX_TEXT, BOX_BACK);
    frame.put(left + width - 1, top, tr, 1, BOX_TEXT, BOX_BACK);
    frame.put(left, top + height - 1, bl, 1, BOX_TEXT, BOX_BACK);
    frame.put(left + width - 1, top + height - 1, br, 1, BOX_TEXT, BOX_BACK);
}

bool isEnter(const TerminalKey& k) {
    return k.virtualKey == VK_RETURN;
}
bool isEscape(const TerminalKey& k) {
    return k.virtualKey == VK_ESCAPE;
}

} // namespace

std::u16string_view TerminalOverlay::promptFor(int command) {
    switch (command) {
    case CMD_OPEN: return u"Open: ";
    case CMD_RUN: return u"Run: ";
    case CMD_SAVE_AS: return u"Save As: ";
    case CMD_RENUMBER: return RENUMBER_PROMPT;
    default: return u"File: ";
    }
}

TerminalOverlay::TerminalOverlay() : items_(menuItems(MENU_IN_TERMINAL, {})) {}

void TerminalOverlay::setExamples(const std::vector<std::u16string>& names) {
    items_ = menuItems(MENU_IN_TERMINAL, names);
}

// The entries of the top level, by their place in items_: a submenu with nothing in it is left out.
std::vector<std::size_t> TerminalOverlay::topIndices() const {
    std::vector<std::size_t> top;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].level != 0) continue;
        if (items_[i].submenu && (i + 1 == items_.size() || items_[i + 1].level == 0)) continue;
        top.push_back(i);
    }
    return top;
}

// The entries of one level: the top level, or the submenu of the top entry selected.
std::vector<MenuItem> TerminalOverlay::levelItems(int level) const {
    const std::vector<std::size_t> top = topIndices();
    std::vector<MenuItem> items;
    if (level == 0) {
        for (const std::size_t i : top) items.push_back(items_[i]);
        return items;
    }
    for (std::size_t i = top[static_cast<std::size_t>(selected_[0])] + 1;
         i < items_.size() && items_[i].level == 1; ++i)
        items.push_back(items_[i]);
    return items;
}

void TerminalOverlay::openMenu() {
    shown_ = Shown::Menu;
    level_ = 0;
    selected_[0] = 0;
    selected_[1] = 0;
}

void TerminalOverlay::openAbout() {
    shown_ = Shown::About;
}

void TerminalOverlay::askName(int command, std::u16string_view typed) {
    shown_ = Shown::Prompt;
    command_ = command;
    name_ = typed;
}

void TerminalOverlay::askReplace(int command, std::u16string name) {
    shown_ = Shown::Confirm;
    command_ = command;
    name_ = std::move(name);
}

void TerminalOverlay::showMessage(std::u16string message) {
    message_ = std::move(message);
    shown_ = Shown::Message;
}

TerminalOverlay::Answer TerminalOverlay::key(const TerminalKey& key) {
    Answer answer;
    switch (shown_) {
    case Shown::None: break;
    case Shown::Menu: {
        const std::vector<MenuItem> items = levelItems(level_);
        int& at = selected_[level_];
        const int count = static_cast<int>(items.size());
        const MenuItem& item = items[static_cast<std::size_t>(at)];
        const bool opensSubmenu = item.submenu;
        if (key.virtualKey == VK_UP) {
            at = (at + count - 1) % count;
        } else if (key.virtualKey == VK_DOWN) {
            at = (at + 1) % count;
        } else if ((isEnter(key) || key.virtualKey == VK_RIGHT) && opensSubmenu) {
            level_ = 1;
            selected_[1] = 0;
        } else if (isEnter(key)) {
            shown_ = Shown::None;
            answer.command = item.command;
        } else if ((isEscape(key) || key.virtualKey == VK_LEFT) && level_ == 1) {
            level_ = 0;
        } else if (isEscape(key) || key.virtualKey == F10 ||
                   (key.virtualKey == 'M' && (key.modifiers & MOD_ALT) != 0)) {
            shown_ = Shown::None;
        }
        break;
    }
    case Shown::About:
        if (isEnter(key) || isEscape(key) || key.virtualKey == VK_SPACE) shown_ = Shown::None;
        break;
    case Shown::Prompt:
        if (isEscape(key)) {
            shown_ = Shown::None;
        } else if (isEnter(key)) {
            shown_ = Shown::None;
            if (!name_.empty()) {
                answer.nameGiven = true;
                answer.promptCommand = command_;
                answer.name = name_;
            }
        } else if (key.virtualKey == VK_BACK) {
            if (!name_.empty()) {
                // A pair is deleted whole.
                const bool pair = name_.size() >= 2 && isLowSurrogate(name_.back());
                name_.resize(name_.size() - (pair ? 2 : 1));
            }
        } else if ((key.modifiers & MOD_ALT) == 0) {
            // Typed or pasted text up to its first line end; controls are not part of a name.
            for (const char16_t unit : key.units) {
                if (unit == ENTER || unit == u'\n') break;
                if (unit >= 0x20 && unit != 0x7F && name_.size() < 1024) name_ += unit;
            }
        }
        break;
    case Shown::Confirm:
        if (!key.units.empty() && (key.units[0] == u'y' || key.units[0] == u'Y')) {
            answer.confirmed = true;
            answer.promptCommand = command_;
            answer.name = name_;
            shown_ = Shown::None;
        } else if (!key.units.empty() && (key.units[0] == u'n' || key.units[0] == u'N' ||
                                          key.units[0] == ESCAPE || key.units[0] == ENTER)) {
            shown_ = Shown::None;
        }
        break;
    case Shown::Message: shown_ = Shown::None; break;
    }
    return answer;
}

void TerminalOverlay::draw(TerminalFrame& frame, const TerminalTraits& traits) const {
    const int bottom = frame.rows() - 1;
    if (bottom < 0) return;
    auto line = [&](std::u16string_view first, std::u16string_view second) {
        frame.fill(0, bottom, frame.columns(), bottom + 1, BOX_BACK);
        int column = frame.text(0, bottom, first, LINE_TEXT, BOX_BACK, traits.unicode);
        // A long name shows its end, where the typing is.
        const int room = frame.columns() - column - 1;
        std::u16string_view shownPart = second;
        while (!shownPart.empty() && textWidth(shownPart, traits.unicode) > room) shownPart.remove_prefix(1);
        column = frame.text(column, bottom, shownPart, LINE_TEXT, BOX_BACK, traits.unicode);
        return column;
    };
    switch (shown_) {
    case Shown::None: return;
    case Shown::Menu: drawMenu(frame, traits); return;
    case Shown::About: drawAbout(frame, traits); return;
    case Shown::Prompt: {
        const int column = line(promptFor(command_), name_);
        frame.cursorVisible = column < frame.columns();
        frame.cursorColumn = column;
        frame.cursorRow = bottom;
        return;
    }
    case Shown::Confirm: {
        std::u16string question = name_ + u" exists. Replace it? (y/n) ";
        const int column = line(u"", question);
        frame.cursorVisible = column < frame.columns();
        frame.cursorColumn = column;
        frame.cursorRow = bottom;
        return;
    }
    case Shown::Message: drawMessage(frame, traits); return;
    }
}

void TerminalOverlay::drawMessage(TerminalFrame& frame, const TerminalTraits& traits) const {
    frame.cursorVisible = false;
    // The message's lines, each wrapped at a blank to fit the box, then the key that closes it.
    const int room = std::max(frame.columns() - 6, 8);
    std::vector<std::u16string> lines;
    std::u16string_view rest = message_;
    while (true) {
        const std::size_t end = rest.find(u'\n');
        std::u16string_view paragraph = rest.substr(0, end);
        do {
            std::size_t cut = paragraph.size();
            while (textWidth(paragraph.substr(0, cut), traits.unicode) > room) {
                const std::size_t blank = paragraph.rfind(u' ', cut - 1);
                cut = blank != std::u16string_view::npos && blank > 0 ? blank : cut - 1;
            }
            lines.emplace_back(paragraph.substr(0, cut));
            paragraph.remove_prefix(cut);
            while (!paragraph.empty() && paragraph.front() == u' ') paragraph.remove_prefix(1);
        } while (!paragraph.empty());
        if (end == std::u16string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    lines.emplace_back(u"");
    lines.emplace_back(u"(press a key)");
    int width = 0;
    for (const std::u16string& l : lines) width = std::max(width, textWidth(l, traits.unicode));
    width += 4;
    const int height = static_cast<int>(lines.size()) + 2;
    const int left = std::max((frame.columns() - width) / 2, 0);
    const int top = std::max((frame.rows() - 1 - height) / 2, 0);
    drawBox(frame, traits, left, top, width, height);
    for (std::size_t i = 0; i < lines.size(); ++i)
        frame.text(left + 2, top + 1 + static_cast<int>(i), lines[i], BOX_TEXT, BOX_BACK, traits.unicode);
}

void TerminalOverlay::drawMenu(TerminalFrame& frame, const TerminalTraits& traits) const {
    frame.cursorVisible = false;
    auto drawLevel = [&](int level, int right, int bottomRow) {
        const std::vector<MenuItem> items = levelItems(level);
        int width = 0;
        for (const MenuItem& item : items) width = std::max(width, textWidth(item.label, traits.unicode) + 2);
        width += 4; // the frame and a blank each side
        const int height = static_cast<int>(items.size()) + 2;
        const int left = std::max(right - width, 0);
        const int top = std::max(bottomRow - height, 0);
        drawBox(frame, traits, left, top, width, height);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const bool chosen = static_cast<int>(i) == selected_[level];
            const Colour fore = chosen ? SELECTED_TEXT : BOX_TEXT;
            const Colour back = chosen ? SELECTED_BACK : BOX_BACK;
            const int row = top + 1 + static_cast<int>(i);
            frame.fill(left + 1, row, left + width - 1, row + 1, back);
            frame.text(left + 2, row, items[i].label, fore, back, traits.unicode);
            if (items[i].submenu)
                frame.put(left + width - 3, row, traits.unicode ? U'▸' : U'>', 1, fore, back);
        }
        return std::pair{left, top};
    };
    // The menu pops up above its soft key, at the right of the bar; a submenu opens to its left.
    const auto [left, top] = drawLevel(0, frame.columns(), frame.rows() - 1);
    if (level_ == 1) {
        const int parentRow = top + 1 + selected_[0];
        const int submenuItems = static_cast<int>(levelItems(1).size());
        drawLevel(1, left, std::min(parentRow + submenuItems + 1, frame.rows() - 1));
    }
}

void TerminalOverlay::drawAbout(TerminalFrame& frame, const TerminalTraits& traits) const {
    frame.cursorVisible = false;
    const std::u16string version = aboutVersionText();
    const std::u16string_view lines[] = {ABOUT_CAPTION, u"", version, ABOUT_NOTICE, u"", u"[ OK ]"};
    int width = 0;
    for (const std::u16string_view l : lines) width = std::max(width, textWidth(l, traits.unicode));
    width += 6;
    const int height = static_cast<int>(std::size(lines)) + 2;
    const int screenRows = frame.rows() - 1;
    const int left = std::max((frame.columns() - width) / 2, 0);
    const int top = std::max((screenRows - height) / 2, 0);
    drawBox(frame, traits, left, top, width, height);
    for (std::size_t i = 0; i < std::size(lines); ++i) {
        const bool caption = i == 0;
        const int row = top + 1 + static_cast<int>(i);
        const Colour fore = caption ? SELECTED_TEXT : BOX_TEXT;
        const Colour back = caption ? SELECTED_BACK : BOX_BACK;
        if (caption) frame.fill(left + 1, row, left + width - 1, row + 1, back);
        frame.text(left + (width - textWidth(lines[i], traits.unicode)) / 2, row, lines[i], fore, back,
                   traits.unicode);
    }
}

} // namespace tavik
