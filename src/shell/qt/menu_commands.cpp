#include "menu_commands.h"

#include "shell_resources.h"

#include <QFileDialog>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QStyle>

#include <algorithm>

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

std::optional<QString> DesktopDialogs::askRenumber(QWidget* parent) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent, QString::fromUtf16(RENUMBER_TITLE),
                                               QString::fromUtf16(RENUMBER_PROMPT).trimmed(),
                                               QLineEdit::Normal, QString::fromUtf16(RENUMBER_DEFAULT), &ok);
    if (!ok) return std::nullopt;
    return text;
}

QString fitMessage(const QString& message, const QFontMetrics& metrics, int room) {
    QStringList fitted;
    for (const QString& line : message.split(QLatin1Char('\n'))) {
        if (metrics.horizontalAdvance(line) <= room) {
            fitted << line;
        } else if (line.startsWith(QLatin1Char('/')) || !line.contains(QLatin1Char(' '))) {
            fitted << metrics.elidedText(line, Qt::ElideMiddle, room);
        } else {
            QString current;
            for (const QString& word : line.split(QLatin1Char(' '))) {
                const QString longer = current.isEmpty() ? word : current + QLatin1Char(' ') + word;
                if (!current.isEmpty() && metrics.horizontalAdvance(longer) > room) {
                    fitted << current;
                    current = metrics.elidedText(word, Qt::ElideMiddle, room);
                } else {
                    current = metrics.horizontalAdvance(longer) > room
                                  ? metrics.elidedText(longer, Qt::ElideMiddle, room)
                                  : longer;
                }
            }
            fitted << current;
        }
    }
    return fitted.join(QLatin1Char('\n'));
}

void DesktopDialogs::refuse(QWidget* parent, const QString& message) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("tavikWM"), QString(), QMessageBox::Ok, parent);
    if (parent != nullptr) {
        // What the box needs beside its text: the icon, the spacing and the margins of the box and the
        // window frame.
        const QStyle* style = box.style();
        const int icon = style->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
        const int frame = 2 * style->pixelMetric(QStyle::PM_LayoutLeftMargin, nullptr, &box) + 24;
        const int room = std::max(parent->window()->width() - icon - frame, 120);
        box.setText(fitMessage(message, QFontMetrics(box.font()), room));
    } else {
        box.setText(message);
    }
    box.exec();
}

} // namespace tavik
