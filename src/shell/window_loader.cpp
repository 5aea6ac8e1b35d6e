#include "window_loader.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>
#include <vector>

#ifndef TAVIK_WINDOW_MODULE_DIR
// Where an installed module is found, relative to the folder of the executable.
#define TAVIK_WINDOW_MODULE_DIR "../lib/tavikwm"
#endif

namespace tavik {

namespace fs = std::filesystem;

bool runWindowModule(int argc, char** argv, int& status, std::string& problem) {
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    if (error) {
        problem = "cannot find the program's own folder";
        return false;
    }
    const fs::path folder = executable.parent_path();
    const std::vector<fs::path> candidates = {folder / WINDOW_MODULE_NAME,
                                              folder / TAVIK_WINDOW_MODULE_DIR / WINDOW_MODULE_NAME};
    problem = "no " + std::string(WINDOW_MODULE_NAME) + " beside the program or in " +
              (folder / TAVIK_WINDOW_MODULE_DIR).lexically_normal().string();
    for (const fs::path& candidate : candidates) {
        if (!fs::exists(candidate, error)) continue;
        // The module stays loaded until the process ends: the toolkit keeps threads and handlers of its own.
        void* module = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            const char* why = dlerror();
            problem = why != nullptr ? why : candidate.string();
            return false;
        }
        const auto entry = reinterpret_cast<WindowEntry>(dlsym(module, WINDOW_ENTRY_NAME));
        if (entry == nullptr) {
            problem = candidate.string() + " has no window entry";
            return false;
        }
        const auto probe = reinterpret_cast<WindowProbe>(dlsym(module, WINDOW_PROBE_NAME));
        char why[512] = {};
        if (probe != nullptr && probe(why, static_cast<int>(sizeof why)) == 0) {
            problem = why;
            return false;
        }
        status = entry(argc, argv);
        return true;
    }
    return false;
}

} // namespace tavik
