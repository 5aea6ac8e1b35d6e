#pragma once
// The main window: the device itself. It owns the console, the input hand-off, the interpreter and its
// thread; shows the console in its client area over the soft-key bar (BREAK on the left, MENU on the right);
// routes keys, posted requests and the caret timer to the hand-off; carries out the menu's commands; and
// turns its own shape when a program asks for another orientation. Everything here runs on the
// user-interface thread except the WindowPort posts and the ScreenPort calls, which only read under the
// console's lock or queue.
#include "about_box.h"
#include "console.h"
#include "console_widget.h"
#include "handoff.h"
#include "interpreter.h"
#include "machine.h"
#include "menu_commands.h"
#include "menu_controller.h"
#include "window_view.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QMenu;
class QPushButton;

namespace tavik {

constexpr int DEFAULT_SCREEN_WIDTH = 480;
constexpr int DEFAULT_SCREEN_HEIGHT = 640;
constexpr int CARET_BLINK_MS = 500;

struct WindowOptions {
    int width = DEFAULT_SCREEN_WIDTH;
    int height = DEFAULT_SCREEN_HEIGHT;
    // The file and message dialogs; the desktop's own when not given.
    ShellDialogs* dialogs = nullptr;
};

class MainWindow final : public QWidget,
                         public WindowPort,
                         public ScreenPort,
                         public KeyboardSink,
                         public MenuHost {
  public:
    explicit MainWindow(const WindowOptions& options = {});
    ~MainWindow() override;

    // Resets the interpreter (the banner shows), asks it to run FILE when one is given, and starts its
    // thread, which soon asks for the first line.
    void startInterpreter(const std::optional<std::u16string>& file = std::nullopt);
    // Wakes and joins the interpreter thread wherever it stands. Safe to call more than once.
    void stopInterpreter();

    // A menu, soft-key or accelerator command; false for an id that no handler takes.
    bool handleCommand(int id);
    // A second start asked for the window.
    void bringToFront();
    // A second start handed over a file: it runs as Run... would run it (break, clear, run "FILE").
    void runFileFromAnotherStart(const QString& path);
    // Pops the menu up above the MENU soft key, as a handheld's menu rises from its bar.
    void popUpMenu();

    Console& console() { return machine_->console; }
    InputHandoff& handoff() { return machine_->keyboard; }
    Interpreter& interpreter() { return machine_->interpreter; }
    WindowView& view() { return *view_; }
    ConsoleWidget& consoleWidget() { return *consoleWidget_; }
    QMenu* menu() const { return menu_; }
    QPushButton* breakKey() const { return breakKey_; }
    QPushButton* menuKey() const { return menuKey_; }
    AboutBox* aboutBox() const { return about_; }
    bool caretTimerRunning() const { return caretTimer_.isActive(); }
    // Counts the input requests that opened (the console then waits for the user); for tests and benches.
    int inputRequestsOpened() const { return inputRequestsOpened_; }

    // --- WindowPort ---
    void postInputRequest(InputMode mode) override;
    void postBreakChar() override;
    void postClose() override;
    void startCaretTimer() override;
    void stopCaretTimer() override;

    // --- ScreenPort ---
    int screenWidth() const override;
    int screenHeight() const override;
    void changeOrientation(int displayOrientation) override;

    // --- KeyboardSink ---
    bool accelerator(int virtualKey) override;
    void keyDown(int virtualKey) override;
    void keyUp(int virtualKey) override;
    void character(char16_t unit) override;
    void focusLost() override;
    void paste() override;
    void pressed(int x, int y) override;

    // --- MenuHost: the desktop's dialogs, answered at once ---
    void showMessage(std::u16string_view message) override;
    void askFileName(int command, FileQuestion question) override;
    void askRenumber(int command, std::u16string_view usual) override;
    void showAbout() override;
    void quit() override;
    void readClipboard() override;
    void putOnClipboard(std::u16string_view text) override;

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QMenu* buildMenu();

    std::unique_ptr<ShellDialogs> ownDialogs_;
    ShellDialogs* dialogs_;
    std::unique_ptr<WindowView> view_;
    std::unique_ptr<ThreadedMachine> machine_;
    std::unique_ptr<MenuController> commands_;
    ConsoleWidget* consoleWidget_ = nullptr;
    QMenu* menu_ = nullptr;
    QPushButton* breakKey_ = nullptr;
    QPushButton* menuKey_ = nullptr;
    QPointer<AboutBox> about_;
    QTimer caretTimer_;
    int inputRequestsOpened_ = 0;
};

} // namespace tavik
