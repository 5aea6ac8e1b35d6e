#pragma once
// What the terminal shows over the console besides it: the MENU popped up above its soft key, the About box
// centred in a frame, the bottom line that asks for a file name, and the box that says why a command was
// refused. Each takes the keys while it is open; the host carries out what it answers.
#include "key_decoder.h"
#include "menu_controller.h"
#include "shell_resources.h"
#include "terminal_frame.h"

#include <string>
#include <vector>

namespace tavik {

class TerminalOverlay {
  public:
    enum class Shown { None, Menu, About, Prompt, Confirm, Message };
    // What a key asked for.
    struct Answer {
        // A menu command chosen (CMD_...), else 0.
        int command = 0;
        // The name typed at a prompt, for `promptCommand`.
        bool nameGiven = false;
        int promptCommand = 0;
        std::u16string name;
        // The user agreed to replace an existing file.
        bool confirmed = false;
    };

    TerminalOverlay();

    Shown shown() const { return shown_; }
    bool open() const { return shown_ != Shown::None; }

    // The MENU's entries (MenuController::items); a submenu with nothing in it is not shown.
    void setItems(std::vector<MenuItem> items) { items_ = std::move(items); }
    // The terminal's entries with these example programs' names under Examples after Run... (no entry
    // when there are none); the n-th is chosen as command CMD_EXAMPLE_FIRST + n.
    void setExamples(const std::vector<std::u16string>& names);
    void openMenu();
    void openAbout();
    // Asks for a file name on the bottom line for the menu command (Open, Run... or Save As...).
    void askName(int command, std::u16string_view typed = {});
    // Asks whether to replace the file `name` for the command; y answers yes.
    void askReplace(int command, std::u16string name);
    // A message in a box, its lines wrapped to fit, until a key is pressed.
    void showMessage(std::u16string message);
    void close() { shown_ = Shown::None; }

    // A key while something is open; every key is taken (nothing reaches the console behind).
    Answer key(const TerminalKey& key);
    void draw(TerminalFrame& frame, const TerminalTraits& traits) const;

    // The prompt's text for the command, and the selected menu line (for tests).
    static std::u16string_view promptFor(int command);
    int selected() const { return level_ == 0 ? selected_[0] : selected_[1]; }
    bool submenuOpen() const { return level_ == 1; }
    std::u16string_view typedName() const { return name_; }

  private:
    std::vector<std::size_t> topIndices() const;
    std::vector<MenuItem> levelItems(int level) const;
    void drawMenu(TerminalFrame& frame, const TerminalTraits& traits) const;
    void drawAbout(TerminalFrame& frame, const TerminalTraits& traits) const;
    void drawMessage(TerminalFrame& frame, const TerminalTraits& traits) const;

    Shown shown_ = Shown::None;
    int level_ = 0;
    int selected_[2] = {0, 0};
    std::vector<MenuItem> items_;
    int command_ = 0;
    std::u16string name_;
    std::u16string message_;
};

} // namespace tavik
