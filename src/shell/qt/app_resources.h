#pragma once
// The application's resources: its strings, command ids, menu labels and the two About box templates in the
// platform's binary dialog-template layout. Built into the program; no window system here.
#include "dialog_template.h"
#include "shell_resources.h"

#include <cstdint>

namespace tavik {

constexpr std::uint16_t IDI_APPLICATION_ICON = 101;
constexpr std::uint16_t IDD_ABOUT_PORTRAIT = 105;
constexpr std::uint16_t IDD_ABOUT_LANDSCAPE = 106;
constexpr std::uint16_t IDC_ABOUT_ICON = 201;
constexpr std::uint16_t IDC_ABOUT_NOTICE = 203;
constexpr std::uint16_t IDC_ABOUT_VERSION = 204;

// Templates 105 (portrait) and 106 (landscape), and the icon's id, as FindResourceW sees them.
const ResourceTable& applicationResources();

} // namespace tavik
