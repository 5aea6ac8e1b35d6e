#pragma once
// The menu's file commands: the command line typed for the user, the file dialogs that ask for a name, and
// the message that refuses a name no command line can hold.
#include "shell_resources.h"

#include <QString>

#include <optional>
#include <string>
#include <string_view>

class QFontMetrics;
class QWidget;

namespace tavik {

// The filters of every file dialog; the second is chosen when a dialog opens. "All" matches every file,
// also the names without an extension that Save As makes.
constexpr const char* FILE_FILTERS = "All (*);;Tavik (*.TK)";
constexpr const char* PROGRAM_FILTER = "Tavik (*.TK)";

// The standard dialogs, behind an interface so that the commands can be driven without a person.
class ShellDialogs {
  public:
    virtual ~ShellDialogs() = default;
    // An existing file to load or run; nothing when cancelled.
    virtual std::optional<QString> chooseProgramFile(QWidget* parent) = 0;
    // A name to save under (an existing file only after the user agreed to replace it).
    virtual std::optional<QString> chooseSaveFile(QWidget* parent) = 0;
    virtual void refuse(QWidget* parent, const QString& message) = 0;
    // RENUM's arguments, as typed after RENUMBER_PROMPT; nothing when cancelled.
    virtual std::optional<QString> askRenumber(QWidget* parent) = 0;
};

// A message made to fit a box no wider than `room` pixels in these metrics: a line that looks like a path
// (it starts with a slash, or holds no blank) is elided in the middle, keeping its start and its file
// name; other lines are broken between words.
QString fitMessage(const QString& message, const QFontMetrics& metrics, int room);

// The toolkit's open and save dialogs and a warning box that fits inside the window.
class DesktopDialogs final : public ShellDialogs {
  public:
    std::optional<QString> chooseProgramFile(QWidget* parent) override;
    std::optional<QString> chooseSaveFile(QWidget* parent) override;
    void refuse(QWidget* parent, const QString& message) override;
    std::optional<QString> askRenumber(QWidget* parent) override;
};

} // namespace tavik
