#pragma once
// The example programs shipped with tavikWM, for the menu's Examples: where they lie and their names. The
// same list in every host; no window system here.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tavik {

constexpr const char16_t* EXAMPLES_LABEL = u"Examples";

// The installed examples (share/doc/tavikwm/examples beside the program's bin folder), else those of the
// source tree the program was built from; nothing when neither holds a program.
std::optional<std::filesystem::path> examplesFolder();

// The programs (*.TK, any case) in the folder, by name in code-unit order, as the page lists them.
std::vector<std::u16string> exampleNames(const std::filesystem::path& folder);

} // namespace tavik
