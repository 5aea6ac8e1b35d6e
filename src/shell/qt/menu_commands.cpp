#include "menu_commands.h"

#include <QFileDialog>
#include <QMessageBox>

namespace tavik {

std::optional<std::u16string> fileCommandLine(std::u16string_view verb, std::u16string_view path) {
    for (const char16_t unit : path)
        if (unit == u'"' || unit < 0x20) return std::nullopt;
    std::u16string line;
    line.reserve(verb.size() + path.size() + 5);
    line += u'\f';
    line += verb;
    line += u" \"";
    line += path;
    line += u"\"\r";
    return line;
}

std::optional<QString> DesktopDialogs::chooseProgramFile(QWidget* parent) {
    QString filter = QString::fromLatin1(PROGRAM_FILTER);
    const QString path = QFileDialog::getOpenFileName(parent, QString(), QString(),
                                                      QString::fromLatin1(FILE_FILTERS), &filter);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> DesktopDialogs::chooseSaveFile(QWidget* parent) {
    QString filter = QString::fromLatin1(PROGRAM_FILTER);
    const QString path = QFileDialog::getSaveFileName(parent, QString(), QString(),
                                                      QString::fromLatin1(FILE_FILTERS), &filter);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

void DesktopDialogs::refuse(QWidget* parent, const QString& message) {
    QMessageBox::warning(parent, QStringLiteral("tavikWM"), message);
}

} // namespace tavik
