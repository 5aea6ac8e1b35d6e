#pragma once
// The application's resources: its strings, command ids, menu labels and the two About box templates in the
// platform's binary dialog-template layout. Built into the program; no window system here.
#include "dialog_template.h"

#include <cstdint>

namespace tavik {

constexpr const char16_t* WINDOW_TITLE = u"tavikWM";
constexpr const char16_t* BREAK_LABEL = u"BREAK";
constexpr const char16_t* MENU_LABEL = u"MENU";

constexpr std::uint16_t IDI_APPLICATION_ICON = 101;
constexpr std::uint16_t IDD_ABOUT_PORTRAIT = 105;
constexpr std::uint16_t IDD_ABOUT_LANDSCAPE = 106;
constexpr std::uint16_t IDC_ABOUT_ICON = 201;
constexpr std::uint16_t IDC_ABOUT_NOTICE = 203;
constexpr std::uint16_t IDC_ABOUT_VERSION = 204;

// Menu and soft-key commands.
constexpr int CMD_QUIT_ACCELERATOR = 40000; // Ctrl+Q: no handler takes it
constexpr int CMD_ABOUT = 40002;
constexpr int CMD_BREAK = 40003;
constexpr int CMD_MENU = 40004;
constexpr int CMD_NEW = 0x8004;
constexpr int CMD_OPEN = 0x8005;
constexpr int CMD_SAVE = 0x8006;
constexpr int CMD_EXIT = 0x8008;
constexpr int CMD_SAVE_AS = 0x8009;
constexpr int CMD_RUN = 0x800A;

// The About box's caption and the notice line of control 203.
constexpr const char16_t* ABOUT_CAPTION = u"バージョン情報 tavikWM";
constexpr const char16_t* ABOUT_NOTICE = u"A line-number BASIC computer";

// "tavikWM Version " and the version shared with the start-up banner.
std::u16string aboutVersionText();

// Templates 105 (portrait) and 106 (landscape), and the icon's id, as FindResourceW sees them.
const ResourceTable& applicationResources();

} // namespace tavik
