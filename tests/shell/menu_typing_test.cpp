// The menu's typing as every host shares it: what is typed for the user, and the messages that refuse a
// command nothing was typed for (and no break raised).
#include "handoff.h"
#include "shell_resources.h"
#include "support/quiet_machine.h"
#include "support/still_window.h"

#include <gtest/gtest.h>

#include <atomic>

namespace tavik {
namespace {

using test::StillWindow;

TEST(MenuTyping, CommandsAreTypedAndRefusedAlikeInEveryHost) {
    test::QuietView view;
    Console console(view);
    StillWindow window;
    InputHandoff handoff(console, window, window);
    std::atomic<int> breakFlag{0};
    handoff.setBreakFlag(&breakFlag);

    EXPECT_EQ(typeCommandLine(handoff, SAVE_COMMAND_LINE), std::nullopt);
    EXPECT_EQ(handoff.pendingInput(), u"\fsave\r");
    EXPECT_EQ(breakFlag.exchange(0), 1);

    EXPECT_EQ(typeFileCommand(handoff, fileCommandVerb(CMD_RUN), u"/tmp/a b.tk"), std::nullopt);
    EXPECT_EQ(handoff.pendingInput(), u"\frun \"/tmp/a b.tk\"\r");
    EXPECT_EQ(breakFlag.exchange(0), 1);

    // Refused: nothing pending changes and no break is raised.
    EXPECT_EQ(typeCommandLine(handoff, u"new"), std::u16string(NOT_ONE_LINE_TEXT));
    EXPECT_EQ(typeFileCommand(handoff, u"load", u"say\"hi\".tk"), unquotableNameText(u"say\"hi\".tk"));
    const std::u16string longPath = u"/" + std::u16string(PENDING_INPUT_UNITS, u'x');
    EXPECT_EQ(typeFileCommand(handoff, u"load", longPath), pathTooLongText(longPath));
    EXPECT_EQ(handoff.pendingInput(), u"\frun \"/tmp/a b.tk\"\r");
    EXPECT_EQ(breakFlag.load(), 0);
    EXPECT_EQ(window.breakChars, 0);
}

} // namespace
} // namespace tavik
