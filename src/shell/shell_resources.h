#pragma once
// What every host of the console shows and types alike: the soft keys' labels, the menu's items and command
// ids, the About box's texts, the command lines the file commands type for the user and the messages that
// refuse a name no command line can hold. No window system here.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavik {

constexpr const char16_t* WINDOW_TITLE = u"tavikWM";
constexpr const char16_t* BREAK_LABEL = u"BREAK";
constexpr const char16_t* MENU_LABEL = u"MENU";

// Menu and soft-key commands.
constexpr int CMD_QUIT_ACCELERATOR = 40000; // Ctrl+Q: no handler takes it
constexpr int CMD_ABOUT = 40002;
constexpr int CMD_BREAK = 40003;
constexpr int CMD_NEW = 0x8004;
constexpr int CMD_OPEN = 0x8005;
constexpr int CMD_SAVE = 0x8006;
constexpr int CMD_EXIT = 0x8008;
constexpr int CMD_SAVE_AS = 0x8009;
constexpr int CMD_RUN = 0x800A;
// The clipboard: Paste types the clipboard's text (see paste.h); Copy Screen puts the grid's text there.
constexpr int CMD_PASTE = 40005;
constexpr int CMD_COPY_SCREEN = 40006;
constexpr const char16_t* PASTE_LABEL = u"Paste";
constexpr const char16_t* COPY_SCREEN_LABEL = u"Copy Screen";
// Renumber... asks for RENUM's arguments and types the command.
constexpr int CMD_RENUMBER = 40007;
constexpr const char16_t* RENUMBER_TITLE = u"Renumber";
constexpr const char16_t* RENUMBER_PROMPT = u"RENUM new,old,step: ";
constexpr const char16_t* RENUMBER_DEFAULT = u"10,,10";
// The page's Share Link: a link that holds the program.
constexpr int CMD_SHARE_LINK = 40008;
// The MENU's entries and what each does: menu_controller.h.

// The About box's caption and the notice line of control 203.
constexpr const char16_t* ABOUT_CAPTION = u"バージョン情報 tavikWM";
constexpr const char16_t* ABOUT_NOTICE = u"A line-number BASIC computer";

// "tavikWM Version " and the version shared with the start-up banner.
std::u16string aboutVersionText();

// The command lines that New and Save type, and the verb a file command types with its path (load for
// Open, run for Run..., save for Save As...; "" for any other command), as the MENU's table gives it.
constexpr std::u16string_view NEW_COMMAND_LINE = u"new\r";
constexpr std::u16string_view SAVE_COMMAND_LINE = u"\fsave\r";
std::u16string_view fileCommandVerb(int command);

// Form feed (the screen is cleared), the verb, a blank, the path in quotation marks, carriage return.
// Nothing when the path cannot stand inside quotation marks on one line (a quotation mark or a control
// character in it).
std::optional<std::u16string> fileCommandLine(std::u16string_view verb, std::u16string_view path);

// Form feed, "renum", the arguments after a blank (none when they are empty), carriage return. Nothing when
// the arguments hold anything but digits, commas and blanks, or more than 32 of them.
std::optional<std::u16string> renumberCommandLine(std::u16string_view arguments);

// The messages that refuse a command nothing was typed for.
constexpr const char16_t* RENUMBER_REFUSED_TEXT = u"RENUM takes line numbers, commas and blanks only.";
constexpr const char16_t* NOT_ONE_LINE_TEXT = u"This command cannot be typed as one command line.";
std::u16string unquotableNameText(std::u16string_view path);
std::u16string pathTooLongText(std::u16string_view path);

// The menu's typing, with its refusals, the same in every host. Each types its line for the user
// (InputHandoff::typeForUser) and gives nothing, or gives the message that refuses it: nothing was typed
// and nothing broken off then, and the host shows the message its own way.
class InputHandoff;
// A whole command line (New, Save; the empty one of BREAK).
std::optional<std::u16string> typeCommandLine(InputHandoff& handoff, std::u16string_view line);
// A file command: the verb (fileCommandVerb) and the path in quotation marks.
std::optional<std::u16string> typeFileCommand(InputHandoff& handoff, std::u16string_view verb,
                                              std::u16string_view path);

} // namespace tavik
