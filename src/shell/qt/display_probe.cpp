#include "display_probe.h"

#include <QDir>
#include <QLibraryInfo>

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace tavik {

namespace {

// The probe's own X connection, kept open until the toolkit has made its own: an X server with no client
// left resets itself (Xvfb does by default), and a connection made during that reset is refused, which
// the toolkit answers by ending the process.
struct HeldConnection {
    void* library = nullptr;
    void* connection = nullptr;
    void (*disconnect)(void*) = nullptr;
};
HeldConnection held;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Connects to the X server the way the toolkit's X platform does (authentication included), through the
// X client library the platform itself loads; nothing is linked for it.
bool xDisplayOpens(std::string& why) {
    const std::string display = environment("DISPLAY");
    if (display.empty()) {
        why = "DISPLAY is not set";
        return false;
    }
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (xcb == nullptr) {
        why = "the X client library libxcb.so.1 is missing";
        return false;
    }
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    const auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
    const auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
    bool opened = false;
    if (connect == nullptr || hasError == nullptr || disconnect == nullptr) {
        why = "the X client library libxcb.so.1 is unusable";
    } else {
        int screen = 0;
        void* connection = connect(nullptr, &screen);
        const int error = connection == nullptr ? 1 : hasError(connection);
        opened = error == 0;
        if (!opened) {
            // XCB_CONN_CLOSED_PARSE_ERR and XCB_CONN_CLOSED_INVALID_SCREEN; the rest is a refused or lost
            // connection.
            why = "cannot open display " + display +
                  (error == 5   ? ": not a display name"
                   : error == 6 ? ": no such screen"
                                : ": no X server answers, or it refused the connection");
        }
        if (opened) {
            releaseDisplayProbe();
            held = {xcb, connection, disconnect};
            return true;
        }
        if (connection != nullptr) disconnect(connection);
    }
    dlclose(xcb);
    return opened;
}

// A Wayland compositor: its socket accepts a connection and the toolkit has its Wayland platform.
bool waylandDisplayOpens(std::string& why) {
    const std::string display = environment("WAYLAND_DISPLAY");
    if (display.empty()) {
        why = "WAYLAND_DISPLAY is not set";
        return false;
    }
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
    if (platforms.entryList({QStringLiteral("libqwayland*")}, QDir::Files).isEmpty()) {
        why = "the toolkit has no Wayland platform for " + display;
        return false;
    }
    const std::string path =
        display.front() == '/' ? display : environment("XDG_RUNTIME_DIR") + "/" + display;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        why = "the Wayland socket path is too long: " + path;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool opened =
        fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) close(fd);
    if (!opened) why = "cannot reach the Wayland display " + display;
    return opened;
}

} // namespace

void releaseDisplayProbe() {
    if (held.connection != nullptr) held.disconnect(held.connection);
    if (held.library != nullptr) dlclose(held.library);
    held = {};
}

bool displayCanOpen(std::string& why) {
    const std::string platform = environment("QT_QPA_PLATFORM");
    const bool wantsX = platform.find("xcb") != std::string::npos;
    const bool wantsWayland = platform.find("wayland") != std::string::npos;
    // Any other platform the user names (offscreen, vnc, ...) needs no display of ours to check.
    if (!platform.empty() && !wantsX && !wantsWayland) return true;
    std::string xWhy;
    std::string waylandWhy;
    const bool tryX = platform.empty() || wantsX;
    const bool tryWayland = platform.empty() ? !environment("WAYLAND_DISPLAY").empty() : wantsWayland;
    if (tryWayland && waylandDisplayOpens(waylandWhy)) return true;
    if (tryX && xDisplayOpens(xWhy)) return true;
    why = tryX ? xWhy : waylandWhy;
    if (tryX && tryWayland) why = waylandWhy + "; " + xWhy;
    return false;
}

} // namespace tavik
