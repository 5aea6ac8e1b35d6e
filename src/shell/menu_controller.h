#pragma once
// The MENU as every host carries it out: one table of the entries in the order shown, each with what it
// does, and the controller that does it, refusals included, over a small interface to the host. A host
// only draws the entries, shows a message, asks for a name and answers later; what is typed for the user
// and why a command is refused is decided here, the same everywhere. No window system here.
#include "examples.h"
#include "shell_resources.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavik {

class Console;
class InputHandoff;

// The hosts that draw a MENU; an entry names those that show it.
enum MenuHosts : unsigned {
    MENU_IN_NONE = 0,
    MENU_IN_WINDOW = 1,
    MENU_IN_TERMINAL = 2,
    MENU_IN_PAGE = 4,
    MENU_IN_ALL = 7,
};

// The name a file command asks for: a program that exists (Open, Run...), or a name to save under, an
// existing file only once the user agreed to replace it (Save As...).
enum class FileQuestion { Program, SaveAs };

// What the host does for the controller. A question may be answered at once or later (a prompt, a file
// chooser): the host then calls MenuController::answer with the command it was asked for; a cancelled
// question is never answered.
class MenuHost {
  public:
    virtual ~MenuHost() = default;
    // A command was refused: why, in the host's message box.
    virtual void showMessage(std::u16string_view message) = 0;
    virtual void askFileName(int command, FileQuestion question) = 0;
    // RENUM's arguments, as typed after RENUMBER_PROMPT, starting with `usual`.
    virtual void askRenumber(int command, std::u16string_view usual) = 0;
    virtual void showAbout() = 0;
    // Exit: the host ends as it ends on EXIT.
    virtual void quit() = 0;
    // The clipboard, in the hosts whose MENU has Paste and Copy Screen: Paste asks for its text (answered
    // with MenuController::paste), Copy Screen hands the screen's text to it.
    virtual void readClipboard() {}
    virtual void putOnClipboard(std::u16string_view) {}
    // An entry only this host carries out (the page's Share Link), by the key its entry gives.
    virtual void hostCommand(std::u16string_view) {}
};

// What an entry does.
struct MenuAction {
    enum Kind {
        Submenu,     // opens the entries of the next level that follow it
        Examples,    // a submenu of the example programs, each loaded as Open loads a file
        TypeLine,    // types `text` as a command line
        AskFile,     // asks for a file name (`question`), then types `text` (the verb) and the name
        AskRenumber, // asks for RENUM's arguments, then types renum with them
        About,
        Quit,
        Paste,
        CopyScreen,
        HostOwn, // the host's own command, by the key `text`
    };
    Kind kind;
    std::u16string_view text = {};
    FileQuestion question = FileQuestion::Program;
};

// One line of the table: the label, the command id (0 for a submenu), the level (1 inside the submenu
// above it), the hosts that show it, and its action.
struct MenuEntry {
    const char16_t* label;
    int command;
    int level;
    unsigned hosts;
    MenuAction action;
};

// The table, in the order shown; entries in no host's MENU (the BREAK soft key) come last.
std::span<const MenuEntry> menuEntries();

// The MENU as a host draws it: one host's entries in order, the Examples submenu filled with the programs
// named (CMD_EXAMPLE_FIRST + n for the n-th; a submenu with nothing in it is followed by no entry).
struct MenuItem {
    std::u16string label;
    int command;
    int level;
    // It opens a submenu (Submenu, Examples).
    bool submenu = false;
    // It asks for a file before anything is typed.
    bool asksFile = false;
    // The key of a host's own command; empty for the others.
    std::u16string_view hostKey = {};
};
std::vector<MenuItem> menuItems(unsigned host, const std::vector<std::u16string>& examples);

class MenuController {
  public:
    // `host` is one of MENU_IN_WINDOW, MENU_IN_TERMINAL, MENU_IN_PAGE; the examples are the programs in
    // `examples` (exampleNames), none without a folder.
    MenuController(MenuHost& host, InputHandoff& handoff, const Console& console, unsigned where,
                   std::optional<std::filesystem::path> examples);

    const std::vector<MenuItem>& items() const { return items_; }
    const std::vector<std::u16string>& exampleNames() const { return exampleNames_; }

    // Carries out a command of the table or an example; false for an id no entry takes (nothing done).
    bool run(int command);
    // The answer to a question the host was asked for `command`: the file name, or RENUM's arguments.
    // True when the command line was typed; false when it was refused (the host was shown why) or the
    // command asks no question.
    bool answer(int command, std::u16string_view text);
    // Types clipboard text as Paste types it; false, and the host shown why, when it is refused.
    bool paste(std::u16string_view text);
    // Types a whole command line for the user; false, and the host shown why, when it cannot be typed.
    bool type(std::u16string_view line);

  private:
    bool typeFile(std::u16string_view verb, std::u16string_view path);

    MenuHost& host_;
    InputHandoff& handoff_;
    const Console& console_;
    unsigned where_;
    std::optional<std::filesystem::path> examplesFolder_;
    std::vector<std::u16string> exampleNames_;
    std::vector<MenuItem> items_;
};

} // namespace tavik
