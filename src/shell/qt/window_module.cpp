// The loadable window: the only symbol the module shows to the program that loads it.
#include "display_probe.h"
#include "window_app.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

extern "C" __attribute__((visibility("default"))) int tavikwm_window_main(int argc, char** argv) {
    try {
        return tavik::runWindow(tavik::parseCommandLine(argc, argv));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tavikwm: %s\n", e.what());
    } catch (...) {
        std::fputs("tavikwm: unexpected failure in the window\n", stderr);
    }
    return 1;
}

// Whether a window can open here: 1, or 0 with why (one line, cut to fit) in the caller's buffer. Asked
// before the entry, so that an unreachable display leaves the program free to go on without a window.
extern "C" __attribute__((visibility("default"))) int tavikwm_window_probe(char* why, int size) {
    std::string reason;
    if (tavik::displayCanOpen(reason)) return 1;
    if (why != nullptr && size > 0) {
        const std::size_t n = std::min(reason.size(), static_cast<std::size_t>(size - 1));
        std::memcpy(why, reason.data(), n);
        why[n] = '\0';
    }
    return 0;
}
