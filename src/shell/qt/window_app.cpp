#include "window_app.h"

#include "app_icon.h"
#include "display_probe.h"
#include "main_window.h"
#include "single_instance.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace tavik {

int runWindow(const CommandLine& commandLine) {
    // The toolkit keeps argc and argv for the whole run; the command line itself has been read already.
    static int argc = 1;
    static char name[] = "tavikwm";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    releaseDisplayProbe();
    QApplication::setApplicationName(QStringLiteral("tavikWM"));
    QApplication::setDesktopFileName(QStringLiteral("tavikwm"));
    QApplication::setWindowIcon(applicationIcon());

    SingleInstance instance;
    if (!instance.claim()) {
        const QString file = commandLine.file ? QString::fromStdString(*commandLine.file) : QString();
        if (!instance.activateRunning(file))
            std::fputs("tavikwm: another tavikWM is starting or not answering\n", stderr);
        return 0;
    }

    WindowOptions options;
    options.width = commandLine.screenWidth;
    options.height = commandLine.screenHeight;
    MainWindow window(options);
    instance.onActivate = [&window] { window.bringToFront(); };
    instance.onOpen = [&window](const QString& path) { window.runFileFromAnotherStart(path); };
    window.show();
    std::optional<std::u16string> file;
    if (commandLine.file) {
        const QString path =
            QString::fromUtf8(commandLine.file->data(), static_cast<qsizetype>(commandLine.file->size()));
        file = std::u16string(reinterpret_cast<const char16_t*>(path.utf16()),
                              static_cast<std::size_t>(path.size()));
    }
    window.startInterpreter(file);
    return QApplication::exec();
}

} // namespace tavik
