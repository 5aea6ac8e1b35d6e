#include "menu_commands.h"

#include <QFileDialog>
#include <QMessageBox>

namespace tavik {

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
