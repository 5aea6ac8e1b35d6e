// Writes the application icon as PNG files for installation: icon_tool DIR SIZE... makes DIR/SIZE.png.
#include "app_icon.h"

#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: icon_tool DIR SIZE...\n", stderr);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 1 || size > 1024) {
            std::fprintf(stderr, "icon_tool: bad size %s\n", argv[i]);
            return 2;
        }
        const QString file = dir.filePath(QString::number(size) + QStringLiteral(".png"));
        if (!tavik::paintApplicationIcon(size).save(file, "PNG")) {
            std::fprintf(stderr, "icon_tool: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
