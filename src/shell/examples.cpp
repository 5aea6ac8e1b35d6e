#include "examples.h"

#include <algorithm>
#include <system_error>

#ifndef TAVIK_EXAMPLES_FROM_BIN
// Where the installed examples are, relative to the folder of the executable.
#define TAVIK_EXAMPLES_FROM_BIN "../share/doc/tavikwm/examples"
#endif

namespace tavik {

namespace fs = std::filesystem;

std::optional<fs::path> examplesFolder() {
    std::vector<fs::path> candidates;
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    if (!error) candidates.push_back(executable.parent_path() / TAVIK_EXAMPLES_FROM_BIN);
#ifdef TAVIK_SOURCE_EXAMPLES
    candidates.emplace_back(TAVIK_SOURCE_EXAMPLES);
#endif
    for (const fs::path& candidate : candidates)
        if (!exampleNames(candidate).empty()) return candidate.lexically_normal();
    return std::nullopt;
}

std::vector<std::u16string> exampleNames(const fs::path& folder) {
    std::vector<std::u16string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file(error)) continue;
        std::u16string name = it->path().filename().u16string();
        if (name.size() < 4) continue;
        std::u16string suffix = name.substr(name.size() - 3);
        for (char16_t& unit : suffix)
            if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
        if (suffix == u".TK") names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace tavik
