#include "main_window.h"

#include "app_icon.h"
#include "app_resources.h"
#include "examples.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <mutex>
#include <utility>

namespace tavik {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

// The messages the interpreter thread and typeForUser post to the window.
const QEvent::Type InputRequestEventType = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type BreakCharEventType = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type CloseEventType = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type OrientEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class InputRequestEvent final : public QEvent {
  public:
    explicit InputRequestEvent(InputMode m) : QEvent(InputRequestEventType), mode(m) {}
    InputMode mode;
};

class OrientEvent final : public QEvent {
  public:
    OrientEvent(int w, int h) : QEvent(OrientEventType), width(w), height(h) {}
    int width, height;
};

QString fromUtf16(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string toUtf16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
}

} // namespace

MainWindow::MainWindow(const WindowOptions& options)
    : ownDialogs_(options.dialogs == nullptr ? std::make_unique<DesktopDialogs>() : nullptr),
      dialogs_(options.dialogs == nullptr ? ownDialogs_.get() : options.dialogs),
      view_(std::make_unique<WindowView>(options.width, options.height, options.width, options.height)),
      machine_(std::make_unique<ThreadedMachine>(*view_, *this, *this)),
      commands_(std::make_unique<MenuController>(*this, machine_->keyboard, machine_->console, MENU_IN_WINDOW,
                                                 examplesFolder())) {
    setWindowTitle(fromUtf16(WINDOW_TITLE));
    setWindowIcon(applicationIcon());

    consoleWidget_ = new ConsoleWidget(machine_->console, *view_, *this, this);
    view_->attach(machine_->console, *consoleWidget_);

    auto* bar = new QWidget(this);
    auto* keys = new QHBoxLayout(bar);
    keys->setContentsMargins(2, 2, 2, 2);
    breakKey_ = new QPushButton(fromUtf16(BREAK_LABEL), bar);
    menuKey_ = new QPushButton(fromUtf16(MENU_LABEL), bar);
    // The soft keys never take the keyboard from the console.
    breakKey_->setFocusPolicy(Qt::NoFocus);
    menuKey_->setFocusPolicy(Qt::NoFocus);
    keys->addWidget(breakKey_);
    keys->addStretch(1);
    keys->addWidget(menuKey_);
    menu_ = buildMenu();
    connect(menuKey_, &QPushButton::clicked, this, [this] { popUpMenu(); });
    connect(breakKey_, &QPushButton::clicked, this, [this] { handleCommand(CMD_BREAK); });

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(consoleWidget_, 1);
    column->addWidget(bar);

    caretTimer_.setInterval(CARET_BLINK_MS);
    connect(&caretTimer_, &QTimer::timeout, this, [this] { machine_->keyboard.handleTimer(); });

    // The window is the screen: its size is the screen's, the console's area is what the soft keys leave.
    // Window managers that honour it keep the console area at least MIN_CONSOLE_SIDE on each side (a
    // smaller screen asked for on the command line is still given).
    setMinimumSize(std::min(options.width, MIN_CONSOLE_SIDE),
                   std::min(options.height, MIN_CONSOLE_SIDE + bar->sizeHint().height()));
    resize(options.width, options.height);
    column->activate();
    {
        Guard guard(machine_->console.lock());
        view_->setGeometry(width(), height(), consoleWidget_->width(), consoleWidget_->height());
        machine_->console.clearScreen();
    }
    consoleWidget_->setFocus();
}

MainWindow::~MainWindow() {
    stopInterpreter();
    // The widgets that call back into the console and the hand-off go before them.
    delete about_.data();
    delete consoleWidget_;
    consoleWidget_ = nullptr;
}

// The window's MENU: a submenu with nothing in it (no examples folder found) is shown disabled.
QMenu* MainWindow::buildMenu() {
    auto* menu = new QMenu(fromUtf16(MENU_LABEL), this);
    QMenu* submenu = nullptr;
    for (const MenuItem& item : commands_->items()) {
        if (item.submenu) {
            submenu = menu->addMenu(fromUtf16(item.label));
            submenu->setEnabled(false);
            continue;
        }
        QMenu* to = item.level > 0 && submenu != nullptr ? submenu : menu;
        to->setEnabled(true);
        QAction* action = to->addAction(fromUtf16(item.label));
        const int id = item.command;
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { handleCommand(id); });
    }
    return menu;
}

void MainWindow::startInterpreter(const std::optional<std::u16string>& file) {
    machine_->start(file);
}

void MainWindow::stopInterpreter() {
    caretTimer_.stop();
    machine_->stop();
}

// ---------------------------------------------------------------------------------------------------------
// Commands

bool MainWindow::handleCommand(int id) {
    return commands_->run(id);
}

void MainWindow::showMessage(std::u16string_view message) {
    dialogs_->refuse(this, fromUtf16(message));
}

void MainWindow::askFileName(int command, FileQuestion question) {
    const std::optional<QString> path =
        question == FileQuestion::SaveAs ? dialogs_->chooseSaveFile(this) : dialogs_->chooseProgramFile(this);
    if (path) commands_->answer(command, toUtf16(*path));
}

// The desktop's question starts from RENUMBER_DEFAULT, the usual arguments.
void MainWindow::askRenumber(int command, std::u16string_view) {
    const std::optional<QString> arguments = dialogs_->askRenumber(this);
    if (arguments) commands_->answer(command, toUtf16(*arguments));
}

void MainWindow::showAbout() {
    if (about_) {
        about_->raise();
        return;
    }
    about_ = new AboutBox(*this, this);
    about_->setGeometry(rect());
    about_->show();
    about_->raise();
    about_->okButton()->setFocus();
    connect(about_, &QObject::destroyed, consoleWidget_, [this] { consoleWidget_->setFocus(); });
}

void MainWindow::quit() {
    close();
}

void MainWindow::runFileFromAnotherStart(const QString& path) {
    bringToFront();
    commands_->answer(CMD_RUN, toUtf16(path));
}

void MainWindow::readClipboard() {
    commands_->paste(toUtf16(QGuiApplication::clipboard()->text()));
}

void MainWindow::putOnClipboard(std::u16string_view text) {
    QGuiApplication::clipboard()->setText(fromUtf16(text));
}

void MainWindow::popUpMenu() {
    const QSize size = menu_->sizeHint();
    const QPoint keyTopRight = menuKey_->mapToGlobal(QPoint(menuKey_->width(), 0));
    menu_->popup(QPoint(keyTopRight.x() - size.width(), keyTopRight.y() - size.height()));
}

void MainWindow::bringToFront() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

// ---------------------------------------------------------------------------------------------------------
// WindowPort: posts from any thread, the timer on this one

void MainWindow::postInputRequest(InputMode mode) {
    QCoreApplication::postEvent(this, new InputRequestEvent(mode));
}

void MainWindow::postBreakChar() {
    QCoreApplication::postEvent(this, new QEvent(BreakCharEventType));
}

void MainWindow::postClose() {
    QCoreApplication::postEvent(this, new QEvent(CloseEventType));
}

void MainWindow::startCaretTimer() {
    caretTimer_.start();
}

void MainWindow::stopCaretTimer() {
    caretTimer_.stop();
}

// ---------------------------------------------------------------------------------------------------------
// ScreenPort, on the interpreter thread

int MainWindow::screenWidth() const {
    Guard guard(machine_->console.lock());
    return view_->screenWidth();
}

int MainWindow::screenHeight() const {
    Guard guard(machine_->console.lock());
    return view_->screenHeight();
}

void MainWindow::changeOrientation(int displayOrientation) {
    Guard guard(machine_->console.lock());
    const int w = view_->screenWidth();
    const int h = view_->screenHeight();
    const int smaller = std::min(w, h);
    const int larger = std::max(w, h);
    int newWidth = 0;
    int newHeight = 0;
    if (displayOrientation == 0) {
        newWidth = smaller;
        newHeight = larger;
    } else if (displayOrientation == 1 || displayOrientation == 4) {
        newWidth = larger;
        newHeight = smaller;
    } else {
        return;
    }
    // The turned screen counts at once, as after the platform's call; the window follows when its turn comes.
    view_->setScreenSize(newWidth, newHeight);
    QCoreApplication::postEvent(this, new OrientEvent(newWidth, newHeight));
}

// ---------------------------------------------------------------------------------------------------------
// KeyboardSink

bool MainWindow::accelerator(int virtualKey) {
    switch (virtualKey) {
    case 'A': handleCommand(CMD_ABOUT); return true;
    case 'Q':
        // No handler takes this command; the key is consumed all the same.
        handleCommand(CMD_QUIT_ACCELERATOR);
        return true;
    default: return false;
    }
}

void MainWindow::keyDown(int virtualKey) {
    machine_->keyboard.handleKeyDown(virtualKey);
}

void MainWindow::keyUp(int virtualKey) {
    machine_->keyboard.handleKeyUp(virtualKey);
}

void MainWindow::character(char16_t unit) {
    machine_->keyboard.handleChar(unit);
}

void MainWindow::focusLost() {
    machine_->keyboard.handleFocusLost();
}

void MainWindow::paste() {
    readClipboard();
}

void MainWindow::pressed(int x, int y) {
    const ConsoleGeometry g = machine_->console.geometry();
    int column = 0, row = 0;
    // The cell under the pointer becomes the cursor, as the arrow keys would make it, while a line is asked.
    if (cellAtPixel(g.grid, g.cellWidth, g.cellHeight, g.columns, g.rows, x, y, column, row))
        machine_->keyboard.handleCellClick(column, row);
}

// ---------------------------------------------------------------------------------------------------------
// Events

bool MainWindow::event(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == InputRequestEventType) {
        machine_->keyboard.handleInputRequest(static_cast<InputRequestEvent*>(event)->mode);
        if (machine_->keyboard.inputActive()) ++inputRequestsOpened_;
        return true;
    }
    if (type == BreakCharEventType) {
        machine_->keyboard.handleChar(BREAK_CHAR);
        return true;
    }
    if (type == CloseEventType) {
        close();
        return true;
    }
    if (type == OrientEventType) {
        const auto* orient = static_cast<OrientEvent*>(event);
        if (isMaximized() || isFullScreen()) showNormal();
        resize(orient->width, orient->height);
        return true;
    }
    return QWidget::event(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    stopInterpreter();
    if (about_) about_->close();
    event->accept();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (about_) about_->setGeometry(rect());
    // The console's area follows in its own resize; a change of the window alone is a new screen size.
    Guard guard(machine_->console.lock());
    view_->setGeometry(width(), height(), consoleWidget_->width(), consoleWidget_->height());
}

} // namespace tavik
