#include "menu_controller.h"

#include "examples.h"
#include "handoff.h"
#include "paste.h"
#include "screen_text.h"
#include "utf8.h"

#include <array>

namespace tavik {

namespace {

constexpr MenuAction submenu() {
    return {MenuAction::Submenu};
}
constexpr MenuAction examples() {
    return {MenuAction::Examples};
}
constexpr MenuAction typeLine(std::u16string_view line) {
    return {MenuAction::TypeLine, line};
}
constexpr MenuAction askFile(std::u16string_view verb, FileQuestion question) {
    return {MenuAction::AskFile, verb, question};
}
constexpr MenuAction askRenumber() {
    return {MenuAction::AskRenumber};
}
constexpr MenuAction about() {
    return {MenuAction::About};
}
constexpr MenuAction quit() {
    return {MenuAction::Quit};
}
constexpr MenuAction paste() {
    return {MenuAction::Paste};
}
constexpr MenuAction copyScreen() {
    return {MenuAction::CopyScreen};
}
constexpr MenuAction hostOwn(std::u16string_view key) {
    return {MenuAction::HostOwn, key};
}

constexpr unsigned ALL = MENU_IN_ALL;
constexpr unsigned WINDOW = MENU_IN_WINDOW;
constexpr unsigned TERMINAL = MENU_IN_TERMINAL;
constexpr unsigned PAGE = MENU_IN_PAGE;

// Every host shows its entries in this order. The window and the terminal list the examples after Run...,
// the page after Renumber... with its Share Link; the terminal has no clipboard of its own to paste from.
constexpr std::array ENTRIES{
    MenuEntry{u"About...", CMD_ABOUT, 0, ALL, about()},
    MenuEntry{u"File", 0, 0, ALL, submenu()},
    MenuEntry{u"New", CMD_NEW, 1, ALL, typeLine(NEW_COMMAND_LINE)},
    MenuEntry{u"Open", CMD_OPEN, 1, ALL, askFile(u"load", FileQuestion::Program)},
    MenuEntry{u"Save", CMD_SAVE, 1, ALL, typeLine(SAVE_COMMAND_LINE)},
    MenuEntry{u"Save As...", CMD_SAVE_AS, 1, ALL, askFile(u"save", FileQuestion::SaveAs)},
    MenuEntry{u"Run...", CMD_RUN, 0, ALL, askFile(u"run", FileQuestion::Program)},
    MenuEntry{EXAMPLES_LABEL, 0, 0, WINDOW | TERMINAL, examples()},
    MenuEntry{u"Renumber...", CMD_RENUMBER, 0, ALL, askRenumber()},
    MenuEntry{EXAMPLES_LABEL, 0, 0, PAGE, examples()},
    MenuEntry{u"Share Link", CMD_SHARE_LINK, 0, PAGE, hostOwn(u"share-link")},
    MenuEntry{PASTE_LABEL, CMD_PASTE, 0, WINDOW | PAGE, paste()},
    MenuEntry{COPY_SCREEN_LABEL, CMD_COPY_SCREEN, 0, WINDOW | PAGE, copyScreen()},
    MenuEntry{u"Exit", CMD_EXIT, 0, ALL, quit()},
    // The BREAK soft key: no MENU shows it; it types the empty line that only breaks.
    MenuEntry{BREAK_LABEL, CMD_BREAK, 0, MENU_IN_NONE, typeLine(u"")},
};

constexpr bool idsDistinct() {
    for (std::size_t i = 0; i < ENTRIES.size(); ++i)
        for (std::size_t j = i + 1; j < ENTRIES.size(); ++j)
            if (ENTRIES[i].command != 0 && ENTRIES[i].command == ENTRIES[j].command) return false;
    return true;
}
static_assert(idsDistinct(), "two entries of the MENU share a command id");

constexpr bool submenusHoldTheirEntries() {
    for (std::size_t i = 0; i < ENTRIES.size(); ++i) {
        const MenuEntry& e = ENTRIES[i];
        const bool opens = e.action.kind == MenuAction::Submenu || e.action.kind == MenuAction::Examples;
        // A submenu has no id of its own and stands at the top; a command has one below
        // CMD_EXAMPLE_FIRST, whose range is the examples'.
        if (opens != (e.command == 0) || (opens && e.level != 0)) return false;
        if (!opens && e.command >= CMD_EXAMPLE_FIRST) return false;
        // An entry of the second level follows a submenu, or another such entry, shown in its hosts.
        if (e.level == 1) {
            if (i == 0 || (ENTRIES[i - 1].level != 1 && ENTRIES[i - 1].action.kind != MenuAction::Submenu))
                return false;
            if ((e.hosts & ~ENTRIES[i - 1].hosts) != 0) return false;
        }
    }
    return true;
}
static_assert(submenusHoldTheirEntries(), "a MENU entry stands outside the submenu that shows it");

const MenuEntry* entryFor(int command) {
    for (const MenuEntry& entry : ENTRIES)
        if (entry.command == command && command != 0) return &entry;
    return nullptr;
}

} // namespace

std::u16string_view fileCommandVerb(int command) {
    const MenuEntry* entry = entryFor(command);
    return entry != nullptr && entry->action.kind == MenuAction::AskFile ? entry->action.text : u"";
}

std::span<const MenuEntry> menuEntries() {
    return ENTRIES;
}

std::vector<MenuItem> menuItems(unsigned host, const std::vector<std::u16string>& examples) {
    std::vector<MenuItem> items;
    for (const MenuEntry& entry : ENTRIES) {
        if ((entry.hosts & host) == 0) continue;
        const MenuAction& a = entry.action;
        MenuItem item{entry.label, entry.command, entry.level};
        item.submenu = a.kind == MenuAction::Submenu || a.kind == MenuAction::Examples;
        item.asksFile = a.kind == MenuAction::AskFile;
        if (a.kind == MenuAction::HostOwn) item.hostKey = a.text;
        items.push_back(std::move(item));
        if (a.kind == MenuAction::Examples)
            for (std::size_t n = 0; n < examples.size(); ++n)
                items.push_back({examples[n], CMD_EXAMPLE_FIRST + static_cast<int>(n), 1});
    }
    return items;
}

MenuController::MenuController(MenuHost& host, InputHandoff& handoff, const Console& console, unsigned where,
                               std::optional<std::filesystem::path> examples)
    : host_(host), handoff_(handoff), console_(console), where_(where), examplesFolder_(std::move(examples)) {
    if (examplesFolder_) exampleNames_ = tavik::exampleNames(*examplesFolder_);
    items_ = menuItems(where_, exampleNames_);
}

bool MenuController::run(int command) {
    if (command >= CMD_EXAMPLE_FIRST &&
        command - CMD_EXAMPLE_FIRST < static_cast<int>(exampleNames_.size())) {
        // An example: loaded as Open loads a file, without asking for its name.
        const std::filesystem::path path =
            *examplesFolder_ / exampleNames_[static_cast<std::size_t>(command - CMD_EXAMPLE_FIRST)];
        typeFile(fileCommandVerb(CMD_OPEN), path.u16string());
        return true;
    }
    const MenuEntry* entry = entryFor(command);
    if (entry == nullptr) return false;
    const MenuAction& a = entry->action;
    switch (a.kind) {
    case MenuAction::Submenu:
    case MenuAction::Examples: return false;
    case MenuAction::TypeLine: type(a.text); break;
    case MenuAction::AskFile: host_.askFileName(command, a.question); break;
    case MenuAction::AskRenumber: host_.askRenumber(command, RENUMBER_DEFAULT); break;
    case MenuAction::About: host_.showAbout(); break;
    case MenuAction::Quit: host_.quit(); break;
    case MenuAction::Paste: host_.readClipboard(); break;
    case MenuAction::CopyScreen: host_.putOnClipboard(screenText(console_)); break;
    case MenuAction::HostOwn: host_.hostCommand(a.text); break;
    }
    return true;
}

bool MenuController::answer(int command, std::u16string_view text) {
    const MenuEntry* entry = entryFor(command);
    if (entry == nullptr) return false;
    if (entry->action.kind == MenuAction::AskFile) return typeFile(entry->action.text, text);
    if (entry->action.kind != MenuAction::AskRenumber) return false;
    const std::optional<std::u16string> line = renumberCommandLine(text);
    if (!line) {
        host_.showMessage(RENUMBER_REFUSED_TEXT);
        return false;
    }
    return type(*line);
}

bool MenuController::paste(std::u16string_view text) {
    const PasteResult result = pasteText(handoff_, text);
    if (result.outcome != PasteResult::Refused) return true;
    host_.showMessage(utf16FromUtf8(pasteMessage(result)));
    return false;
}

bool MenuController::type(std::u16string_view line) {
    const std::optional<std::u16string> refused = typeCommandLine(handoff_, line);
    if (refused) host_.showMessage(*refused);
    return !refused;
}

bool MenuController::typeFile(std::u16string_view verb, std::u16string_view path) {
    const std::optional<std::u16string> refused = typeFileCommand(handoff_, verb, path);
    if (refused) host_.showMessage(*refused);
    return !refused;
}

} // namespace tavik
