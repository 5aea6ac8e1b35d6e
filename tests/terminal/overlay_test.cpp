// The terminal's MENU, file-name prompt and question: the keys a person presses choose the window's
// commands, and a name comes out as it was typed or pasted, never with a control code or half a pair.
#include "examples.h"
#include "shell_resources.h"
#include "terminal_keys.h"
#include "terminal_overlay.h"
#include "virtual_keys.h"

#include <gtest/gtest.h>

namespace tavik::test {
namespace {

TerminalKey press(int vk, std::u16string units = u"", unsigned modifiers = 0) {
    return makeKey(vk, std::move(units), modifiers);
}

TerminalKey paste(std::u16string text) {
    TerminalKey k;
    k.kind = TerminalKey::Kind::Paste;
    k.units = std::move(text);
    return k;
}

TEST(TerminalOverlay, TheMenuChoosesTheWindowsCommands) {
    TerminalOverlay overlay;
    overlay.openMenu();
    EXPECT_EQ(overlay.selected(), 0); // About...
    // Up from the top comes round to Exit.
    overlay.key(press(VK_UP));
    EXPECT_EQ(overlay.key(press(VK_RETURN, u"\r")).command, CMD_EXIT);
    EXPECT_FALSE(overlay.open());

    overlay.openMenu();
    overlay.key(press(VK_DOWN));
    EXPECT_EQ(overlay.key(press(VK_RETURN, u"\r")).command, 0); // File opens its submenu
    EXPECT_TRUE(overlay.submenuOpen());
    overlay.key(press(VK_DOWN));
    overlay.key(press(VK_DOWN));
    overlay.key(press(VK_DOWN));
    EXPECT_EQ(overlay.key(press(VK_RETURN, u"\r")).command, CMD_SAVE_AS);

    // Esc (or Left) leaves the submenu first, then the menu; F10 and Alt+M close it too.
    overlay.openMenu();
    overlay.key(press(VK_DOWN));
    overlay.key(press(VK_RIGHT));
    EXPECT_TRUE(overlay.submenuOpen());
    overlay.key(press(VK_ESCAPE, u"\x1B"));
    EXPECT_FALSE(overlay.submenuOpen());
    EXPECT_TRUE(overlay.open());
    overlay.key(press(VK_ESCAPE, u"\x1B"));
    EXPECT_FALSE(overlay.open());
    overlay.openMenu();
    overlay.key(press(VK_F1 + 9));
    EXPECT_FALSE(overlay.open());
    overlay.openMenu();
    overlay.key(press('M', u"", MOD_ALT));
    EXPECT_FALSE(overlay.open());
    // Other keys are taken and do nothing.
    overlay.openMenu();
    EXPECT_EQ(overlay.key(press('Q', u"q")).command, 0);
    EXPECT_TRUE(overlay.open());
}

TEST(TerminalOverlay, ExamplesFollowRunAndGiveTheChosenProgram) {
    TerminalOverlay overlay;
    overlay.setExamples({u"BOUNCE.TK", u"HANOI.TK"});
    overlay.openMenu();
    // About..., File, Run..., Examples: its submenu holds the programs.
    for (int i = 0; i < 3; ++i) overlay.key(press(VK_DOWN));
    EXPECT_EQ(overlay.key(press(VK_RETURN, u"\r")).command, 0);
    EXPECT_TRUE(overlay.submenuOpen());
    overlay.key(press(VK_DOWN));
    EXPECT_EQ(overlay.key(press(VK_RETURN, u"\r")).command, CMD_EXAMPLE_FIRST + 1);
    // File's submenu is still File's, and Renumber... and Exit follow Examples.
    overlay.openMenu();
    overlay.key(press(VK_DOWN));
    overlay.key(press(VK_RIGHT));
    EXPECT_EQ(overlay.key(press(VK_RETURN, u"\r")).command, CMD_NEW);
    overlay.openMenu();
    for (int i = 0; i < 4; ++i) overlay.key(press(VK_DOWN));
    EXPECT_EQ(overlay.key(press(VK_RETURN, u"\r")).command, CMD_RENUMBER);
    // Without examples there is no entry: Renumber... follows Run....
    overlay.setExamples({});
    overlay.openMenu();
    for (int i = 0; i < 3; ++i) overlay.key(press(VK_DOWN));
    EXPECT_EQ(overlay.key(press(VK_RETURN, u"\r")).command, CMD_RENUMBER);
}

TEST(TerminalOverlay, ANameComesOutAsTypedOrPasted) {
    TerminalOverlay overlay;
    overlay.askName(CMD_OPEN);
    overlay.key(press('A', u"a"));
    // A paste gives its first line; controls are not part of a name.
    overlay.key(paste(u"b\x07\U0001F600c\r\nsecond line"));
    EXPECT_EQ(overlay.typedName(), u"ab\U0001F600c");
    // Backspace takes a pair whole.
    overlay.key(press(VK_BACK, u"\b"));
    overlay.key(press(VK_BACK, u"\b"));
    EXPECT_EQ(overlay.typedName(), u"ab");
    // Alt with a key types nothing.
    overlay.key(press('X', u"", MOD_ALT));
    TerminalOverlay::Answer answer = overlay.key(press(VK_RETURN, u"\r"));
    EXPECT_TRUE(answer.nameGiven);
    EXPECT_EQ(answer.promptCommand, CMD_OPEN);
    EXPECT_EQ(answer.name, u"ab");
    EXPECT_FALSE(overlay.open());

    // Renumber... starts with RENUM's usual arguments typed, to be changed.
    overlay.askName(CMD_RENUMBER, RENUMBER_DEFAULT);
    EXPECT_EQ(TerminalOverlay::promptFor(CMD_RENUMBER), RENUMBER_PROMPT);
    overlay.key(press(VK_BACK, u"\b"));
    overlay.key(press('5', u"5"));
    answer = overlay.key(press(VK_RETURN, u"\r"));
    EXPECT_EQ(answer.promptCommand, CMD_RENUMBER);
    EXPECT_EQ(answer.name, u"10,,15");

    // An empty name and Esc ask for nothing.
    overlay.askName(CMD_RUN);
    EXPECT_FALSE(overlay.key(press(VK_RETURN, u"\r")).nameGiven);
    overlay.askName(CMD_RUN);
    overlay.key(press('Z', u"z"));
    EXPECT_FALSE(overlay.key(press(VK_ESCAPE, u"\x1B")).nameGiven);
    EXPECT_FALSE(overlay.open());

    // Replacing a file needs a y; n, Esc and Enter keep it; other keys wait for an answer.
    overlay.askReplace(CMD_SAVE_AS, u"f.tk");
    EXPECT_FALSE(overlay.key(press('Q', u"q")).confirmed);
    EXPECT_TRUE(overlay.open());
    EXPECT_FALSE(overlay.key(press(VK_RETURN, u"\r")).confirmed);
    EXPECT_FALSE(overlay.open());
    overlay.askReplace(CMD_SAVE_AS, u"f.tk");
    answer = overlay.key(press('Y', u"y"));
    EXPECT_TRUE(answer.confirmed);
    EXPECT_EQ(answer.name, u"f.tk");
    EXPECT_EQ(answer.promptCommand, CMD_SAVE_AS);
}

} // namespace
} // namespace tavik::test
