// The MENU's controller over a host that only records: what each host shows and in which order, what each
// command types (once) or asks, the answers that come later, and the refusals, which are always shown and
// type nothing.
#include "handoff.h"
#include "menu_controller.h"
#include "screen_text.h"
#include "support/quiet_machine.h"
#include "support/still_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tavik {
namespace {

using test::StillWindow;

class RecordingHost final : public MenuHost {
  public:
    void showMessage(std::u16string_view message) override { messages.emplace_back(message); }
    void askFileName(int command, FileQuestion question) override { asked.push_back({command, question}); }
    void askRenumber(int command, std::u16string_view usual) override {
        renumberAsked.push_back(command);
        renumberUsual = usual;
    }
    void showAbout() override { ++abouts; }
    void quit() override { ++quits; }
    void readClipboard() override { ++clipboardReads; }
    void putOnClipboard(std::u16string_view text) override { clipboard = text; }
    void hostCommand(std::u16string_view key) override { hostCommands.emplace_back(key); }

    struct Asked {
        int command;
        FileQuestion question;
        bool operator==(const Asked&) const = default;
    };
    std::vector<std::u16string> messages;
    std::vector<Asked> asked;
    std::vector<int> renumberAsked;
    std::u16string renumberUsual;
    int abouts = 0, quits = 0, clipboardReads = 0;
    std::u16string clipboard;
    std::vector<std::u16string> hostCommands;
};

std::vector<std::u16string> labels(const std::vector<MenuItem>& items) {
    std::vector<std::u16string> out;
    for (const MenuItem& item : items) out.push_back((item.level > 0 ? u"  " : u"") + item.label);
    return out;
}

class MenuControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("tavik_menu_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
        for (const char* name : {"B.TK", "A.tk", "notes.txt"}) std::ofstream(folder / name) << "10 end\r\n";
        handoff.setBreakFlag(&breakFlag);
        // A line request stands open, as at the prompt: every command typed answers it with a break.
        handoff.handleInputRequest(InputMode::Line);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    MenuController controller(unsigned where) { return {host, handoff, console, where, folder}; }
    std::u16string pending() const { return std::u16string(handoff.pendingInput()); }
    // The commands typed since the last look (each raises the break once).
    int typed() {
        const int n = window.breakChars;
        window.breakChars = 0;
        breakFlag.store(0);
        return n;
    }

    std::filesystem::path folder;
    test::QuietView view;
    Console console{view};
    StillWindow window;
    InputHandoff handoff{console, window, window};
    std::atomic<int> breakFlag{0};
    RecordingHost host;
};

TEST_F(MenuControllerTest, EveryHostShowsItsOwnEntriesInItsOrderAndEachOneRuns) {
    const std::vector<std::u16string> file{u"File", u"  New", u"  Open", u"  Save", u"  Save As..."};
    auto with = [&](std::vector<std::u16string> rest) {
        std::vector<std::u16string> all{u"About..."};
        all.insert(all.end(), file.begin(), file.end());
        all.insert(all.end(), rest.begin(), rest.end());
        return all;
    };
    // The examples are the folder's programs by name, after Run... in the window and the terminal, after
    // Renumber... on the page; the clipboard's two commands come just before Exit where there is one.
    EXPECT_EQ(labels(controller(MENU_IN_WINDOW).items()),
              with({u"Run...", u"Examples", u"  A.tk", u"  B.TK", u"Renumber...", u"Paste", u"Copy Screen",
                    u"Exit"}));
    EXPECT_EQ(labels(controller(MENU_IN_TERMINAL).items()),
              with({u"Run...", u"Examples", u"  A.tk", u"  B.TK", u"Renumber...", u"Exit"}));
    EXPECT_EQ(labels(controller(MENU_IN_PAGE).items()),
              with({u"Run...", u"Renumber...", u"Examples", u"  A.tk", u"  B.TK", u"Share Link", u"Paste",
                    u"Copy Screen", u"Exit"}));
    // No folder: Examples stands empty, for each host to show its own way.
    EXPECT_EQ(labels(MenuController(host, handoff, console, MENU_IN_TERMINAL, std::nullopt).items()),
              with({u"Run...", u"Examples", u"Renumber...", u"Exit"}));

    // Every entry a host shows is carried out, each one at most once; a submenu is no command.
    for (const unsigned where : {MENU_IN_WINDOW, MENU_IN_TERMINAL, MENU_IN_PAGE}) {
        MenuController menu = controller(where);
        for (const MenuItem& item : menu.items()) {
            EXPECT_EQ(menu.run(item.command), !item.submenu)
                << std::string(item.label.begin(), item.label.end());
            EXPECT_LE(typed(), 1);
        }
        EXPECT_EQ(host.quits, 1);
        host.quits = 0;
    }
    // Ctrl+Q's command and an example past the last are nobody's.
    MenuController menu = controller(MENU_IN_WINDOW);
    const std::u16string before = pending();
    EXPECT_FALSE(menu.run(CMD_QUIT_ACCELERATOR));
    EXPECT_FALSE(menu.run(CMD_EXAMPLE_FIRST + 2));
    EXPECT_FALSE(menu.run(0));
    EXPECT_EQ(pending(), before);
    EXPECT_EQ(typed(), 0);
}

TEST_F(MenuControllerTest, CommandsTypeTheirLineOnceOrAskAndTypeWhenAnswered) {
    MenuController menu = controller(MENU_IN_PAGE);
    menu.run(CMD_NEW);
    EXPECT_EQ(pending(), u"new\r");
    EXPECT_EQ(typed(), 1);
    menu.run(CMD_SAVE);
    EXPECT_EQ(pending(), u"\fsave\r");
    EXPECT_EQ(typed(), 1);
    EXPECT_EQ(breakFlag.load(), 0);

    // The file commands ask first and type nothing until the answer comes.
    menu.run(CMD_OPEN);
    menu.run(CMD_RUN);
    menu.run(CMD_SAVE_AS);
    EXPECT_EQ(host.asked, (std::vector<RecordingHost::Asked>{{CMD_OPEN, FileQuestion::Program},
                                                             {CMD_RUN, FileQuestion::Program},
                                                             {CMD_SAVE_AS, FileQuestion::SaveAs}}));
    EXPECT_EQ(typed(), 0);
    EXPECT_TRUE(menu.answer(CMD_SAVE_AS, u"/tmp/プログラム/a b.TK"));
    EXPECT_EQ(pending(), u"\fsave \"/tmp/プログラム/a b.TK\"\r");
    EXPECT_EQ(typed(), 1);
    EXPECT_TRUE(menu.answer(CMD_OPEN, u"P.TK"));
    EXPECT_EQ(pending(), u"\fload \"P.TK\"\r");
    EXPECT_TRUE(menu.answer(CMD_RUN, u"P.TK"));
    EXPECT_EQ(pending(), u"\frun \"P.TK\"\r");
    EXPECT_EQ(typed(), 2);

    menu.run(CMD_RENUMBER);
    EXPECT_EQ(host.renumberAsked, std::vector<int>{CMD_RENUMBER});
    EXPECT_EQ(host.renumberUsual, RENUMBER_DEFAULT);
    EXPECT_EQ(typed(), 0);
    EXPECT_TRUE(menu.answer(CMD_RENUMBER, u"100, ,5"));
    EXPECT_EQ(pending(), u"\frenum 100, ,5\r");
    EXPECT_TRUE(menu.answer(CMD_RENUMBER, u" "));
    EXPECT_EQ(pending(), u"\frenum\r");
    EXPECT_EQ(typed(), 2);

    // An example loads as Open loads a file, without a question.
    menu.run(CMD_EXAMPLE_FIRST + 1);
    EXPECT_EQ(pending(), u"\fload \"" + (folder / "B.TK").u16string() + u"\"\r");
    EXPECT_EQ(typed(), 1);
    EXPECT_EQ(host.asked.size(), 3u);

    // BREAK types the empty line, which only breaks.
    menu.run(CMD_BREAK);
    EXPECT_EQ(pending(), u"");
    EXPECT_EQ(typed(), 1);

    // The commands that type nothing: About, Exit, the clipboard's, the host's own.
    menu.run(CMD_ABOUT);
    menu.run(CMD_EXIT);
    menu.run(CMD_PASTE);
    menu.run(CMD_SHARE_LINK);
    console.putString(u"HELLO");
    menu.run(CMD_COPY_SCREEN);
    EXPECT_EQ(host.abouts, 1);
    EXPECT_EQ(host.quits, 1);
    EXPECT_EQ(host.clipboardReads, 1);
    EXPECT_EQ(host.hostCommands, std::vector<std::u16string>{u"share-link"});
    EXPECT_EQ(host.clipboard.substr(0, 6), u"HELLO\n");
    EXPECT_EQ(typed(), 0);
    // An answer for a command that asked nothing types nothing.
    EXPECT_FALSE(menu.answer(CMD_NEW, u"x"));
    EXPECT_FALSE(menu.answer(CMD_EXIT, u"x"));
    EXPECT_EQ(typed(), 0);

    // The clipboard's text, once read, is typed as the keyboard would type it (at the open request).
    EXPECT_TRUE(menu.paste(u"print 1"));
    EXPECT_NE(screenText(console).find(u"print 1"), std::u16string::npos);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(MenuControllerTest, ARefusalIsShownOnceAndNothingIsTypedOrBroken) {
    MenuController menu = controller(MENU_IN_WINDOW);
    menu.run(CMD_SAVE);
    typed();
    const std::u16string longPath = u"/" + std::u16string(PENDING_INPUT_UNITS, u'x');
    const std::u16string quoted = u"/tmp/say \"hi\".TK";
    EXPECT_FALSE(menu.answer(CMD_OPEN, quoted));
    EXPECT_FALSE(menu.answer(CMD_SAVE_AS, u"/tmp/two\rlines.TK"));
    EXPECT_FALSE(menu.answer(CMD_RUN, longPath));
    EXPECT_FALSE(menu.answer(CMD_RENUMBER, u"10:new"));
    EXPECT_FALSE(menu.paste(u"print 1\n" + std::u16string(256, u'x')));
    EXPECT_EQ(host.messages, (std::vector<std::u16string>{
                                 unquotableNameText(quoted), unquotableNameText(u"/tmp/two\rlines.TK"),
                                 pathTooLongText(longPath), RENUMBER_REFUSED_TEXT,
                                 u"Nothing was pasted: line 2 has 256 characters, and a line holds "
                                 u"at most 255."}));
    EXPECT_EQ(pending(), u"\fsave\r");
    EXPECT_TRUE(handoff.typedAhead().empty());
    EXPECT_EQ(typed(), 0);
    EXPECT_EQ(breakFlag.load(), 0);
    // A line that is not one command line.
    EXPECT_FALSE(menu.type(u"new"));
    EXPECT_EQ(host.messages.back(), NOT_ONE_LINE_TEXT);
    // The longest path that fits is typed whole.
    EXPECT_TRUE(menu.answer(CMD_RUN, u"/" + std::u16string(246, u'x')));
    EXPECT_EQ(pending().size(), 255u);
    EXPECT_EQ(typed(), 1);
    EXPECT_EQ(host.messages.size(), 6u);
}

} // namespace
} // namespace tavik
