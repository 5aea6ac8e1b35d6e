// The loadable window: the only symbol the module shows to the program that loads it.
#include "window_app.h"

#include <cstdio>
#include <exception>

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
