// The menu's commands through their handlers: each types exactly its command line, the file commands take
// the chosen path, and what cannot be typed is refused with a message and no break.
#include "window_fixture.h"

#include "app_resources.h"
#include "examples.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <fstream>
#include <vector>

namespace tavik::testing {
namespace {

class FakeDialogs final : public ShellDialogs {
  public:
    std::optional<QString> chosen;
    int asked = 0;
    std::vector<QString> refusals;

    std::optional<QString> chooseProgramFile(QWidget*) override {
        ++asked;
        return chosen;
    }
    std::optional<QString> chooseSaveFile(QWidget*) override {
        ++asked;
        return chosen;
    }
    void refuse(QWidget*, const QString& message) override { refusals.push_back(message); }
    std::optional<QString> askRenumber(QWidget*) override {
        ++asked;
        return chosen;
    }
};

class MenuCommandTest : public WindowTest {
  protected:
    // The hand-off alone: what a command types stays pending where the test can read it.
    void SetUp() override {
        WindowOptions options;
        options.dialogs = &dialogs;
        open(options, false);
    }
    int breakRaised() { return window->interpreter().breakRequested.exchange(0); }
    std::u16string pending() { return std::u16string(window->handoff().pendingInput()); }

    QAction* action(QMenu* menu, const QString& label) {
        for (QAction* a : menu->actions()) {
            if (a->text() == label) return a;
        }
        return nullptr;
    }

    FakeDialogs dialogs;
};

TEST_F(MenuCommandTest, TheMenuHoldsTheCommandsInOrderWithTheirIds) {
    QMenu* menu = window->menu();
    std::vector<QString> labels;
    for (QAction* a : menu->actions()) labels.push_back(a->text());
    EXPECT_EQ(labels, (std::vector<QString>{"About...", "File", "Run...", "Examples", "Renumber...", "Paste",
                                            "Copy Screen", "Exit"}));
    QMenu* file = action(menu, "File")->menu();
    ASSERT_NE(file, nullptr);
    std::vector<int> ids;
    for (QAction* a : file->actions()) ids.push_back(a->data().toInt());
    EXPECT_EQ(ids, (std::vector<int>{CMD_NEW, CMD_OPEN, CMD_SAVE, CMD_SAVE_AS}));
    EXPECT_EQ(action(menu, "About...")->data().toInt(), CMD_ABOUT);
    EXPECT_EQ(action(menu, "Run...")->data().toInt(), CMD_RUN);
    EXPECT_EQ(action(menu, "Exit")->data().toInt(), CMD_EXIT);
    EXPECT_EQ(action(menu, "Paste")->data().toInt(), CMD_PASTE);
    EXPECT_EQ(action(menu, "Copy Screen")->data().toInt(), CMD_COPY_SCREEN);
    EXPECT_EQ(window->breakKey()->text(), "BREAK");
    // The shipped programs under Examples, in the page's order; one loads as Open loads a chosen file.
    QMenu* examples = action(menu, "Examples")->menu();
    ASSERT_NE(examples, nullptr);
    ASSERT_TRUE(examples->isEnabled());
    std::vector<QString> names;
    for (QAction* a : examples->actions()) names.push_back(a->text());
    EXPECT_EQ(names, (std::vector<QString>{"BOUNCE.TK", "GRAPHICS.TK", "GREETING.TK", "GUESS.TK", "HANOI.TK",
                                           "KEYS.TK", "LOCALS.TK", "PRIMES.TK", "SORT.TK", "TABLE.TK"}));
    action(examples, "HANOI.TK")->trigger();
    const std::optional<std::filesystem::path> folder = examplesFolder();
    ASSERT_TRUE(folder);
    EXPECT_EQ(pending(), u"\fload \"" + (*folder / "HANOI.TK").u16string() + u"\"\r");
    EXPECT_TRUE(std::filesystem::exists(*folder / "HANOI.TK"));
    EXPECT_EQ(dialogs.asked, 0);
    EXPECT_EQ(window->menuKey()->text(), "MENU");

    // The menu rises from the soft key, as on the handheld, instead of hanging below the window.
    window->menuKey()->click();
    ASSERT_TRUE(waitUntil([&] { return menu->isVisible(); }, 5000));
    const QRect key(window->menuKey()->mapToGlobal(QPoint(0, 0)), window->menuKey()->size());
    EXPECT_LE(menu->geometry().bottom(), key.top());
    EXPECT_LE(menu->geometry().right(), key.right());
    menu->hide();
}

TEST_F(MenuCommandTest, NewAndSaveTypeTheirFixedLinesAndBreak) {
    action(action(window->menu(), "File")->menu(), "New")->trigger();
    EXPECT_EQ(pending(), u"new\r");
    EXPECT_EQ(breakRaised(), 1);
    action(action(window->menu(), "File")->menu(), "Save")->trigger();
    EXPECT_EQ(pending(), u"\fsave\r");
    EXPECT_EQ(breakRaised(), 1);
    EXPECT_EQ(dialogs.asked, 0);
}

TEST_F(MenuCommandTest, RenumberTypesRenumWithTheArgumentsGiven) {
    dialogs.chosen = QStringLiteral("100, ,5");
    action(window->menu(), "Renumber...")->trigger();
    EXPECT_EQ(pending(), u"\frenum 100, ,5\r");
    EXPECT_EQ(breakRaised(), 1);
    dialogs.chosen = QStringLiteral("  ");
    action(window->menu(), "Renumber...")->trigger();
    EXPECT_EQ(pending(), u"\frenum\r");
    // Anything but numbers is refused, and a cancel types nothing.
    dialogs.chosen = QStringLiteral("10:new");
    action(window->menu(), "Renumber...")->trigger();
    dialogs.chosen.reset();
    action(window->menu(), "Renumber...")->trigger();
    EXPECT_EQ(pending(), u"\frenum\r");
    EXPECT_EQ(breakRaised(), 1);
    EXPECT_EQ(dialogs.refusals, (std::vector<QString>{QString::fromUtf16(RENUMBER_REFUSED_TEXT)}));
    EXPECT_EQ(dialogs.asked, 4);
}

TEST_F(MenuCommandTest, OpenRunAndSaveAsTypeTheChosenPathInQuotes) {
    dialogs.chosen = QStringLiteral("/home/u/プログラム/a b.TK");
    EXPECT_TRUE(window->handleCommand(CMD_OPEN));
    EXPECT_EQ(pending(), u"\fload \"/home/u/プログラム/a b.TK\"\r");
    EXPECT_EQ(breakRaised(), 1);
    action(window->menu(), "Run...")->trigger();
    EXPECT_EQ(pending(), u"\frun \"/home/u/プログラム/a b.TK\"\r");
    EXPECT_EQ(breakRaised(), 1);
    dialogs.chosen = QStringLiteral("/tmp/new");
    action(action(window->menu(), "File")->menu(), "Save As...")->trigger();
    EXPECT_EQ(pending(), u"\fsave \"/tmp/new\"\r");
    EXPECT_EQ(dialogs.asked, 3);
    EXPECT_TRUE(dialogs.refusals.empty());
}

TEST_F(MenuCommandTest, NoUsableNameMeansNothingTypedAndNoBreak) {
    window->handleCommand(CMD_SAVE);
    breakRaised();
    // Cancelled: not even a message.
    for (const int id : {CMD_OPEN, CMD_RUN, CMD_SAVE_AS}) window->handleCommand(id);
    EXPECT_TRUE(dialogs.refusals.empty());
    // Too long: "\frun \"" + path + "\"\r" is 8 units more than the path, so 247 units fit and 248 do not.
    dialogs.chosen = QStringLiteral("/") + QString(247, QChar('x'));
    for (const int id : {CMD_OPEN, CMD_RUN, CMD_SAVE_AS}) window->handleCommand(id);
    ASSERT_EQ(dialogs.refusals.size(), 3u);
    EXPECT_TRUE(dialogs.refusals[0].contains(QStringLiteral("too long")));
    // A quotation mark or a line end cannot stand inside the quotes of one command line.
    dialogs.chosen = QStringLiteral("/tmp/say \"hi\".TK");
    window->handleCommand(CMD_OPEN);
    dialogs.chosen = QStringLiteral("/tmp/two\rlines.TK");
    window->handleCommand(CMD_SAVE_AS);
    EXPECT_EQ(dialogs.refusals.size(), 5u);
    EXPECT_EQ(pending(), u"\fsave\r");
    EXPECT_EQ(breakRaised(), 0);
    // The longest path that fits is typed whole.
    dialogs.chosen = QStringLiteral("/") + QString(246, QChar('x'));
    window->handleCommand(CMD_RUN);
    EXPECT_EQ(pending().size(), 255u);
    EXPECT_EQ(breakRaised(), 1);
}

// Reads the toolkit's file dialog while it is open, then cancels it.
struct SeenFileDialog {
    QStringList filters;
    QString selected;
    QFileDialog::AcceptMode accept = QFileDialog::AcceptOpen;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    bool seen = false;
};

void readAndCancelFileDialog(SeenFileDialog& out) {
    QTimer::singleShot(0, [&out] {
        waitUntil([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()) != nullptr; },
                  5000);
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            out.filters = dialog->nameFilters();
            out.selected = dialog->selectedNameFilter();
            out.accept = dialog->acceptMode();
            out.mode = dialog->fileMode();
            out.seen = true;
            dialog->reject();
        }
    });
}

TEST(DesktopDialogsTest, FileDialogsOfferAllAndTavikWithTavikChosenAndCancelGivesNothing) {
    DesktopDialogs dialogs;
    QWidget parent;
    parent.show();
    // "All" also shows the names without an extension that Save As makes.
    const QStringList filters{QStringLiteral("All (*)"), QStringLiteral("Tavik (*.TK)")};

    SeenFileDialog open;
    readAndCancelFileDialog(open);
    EXPECT_FALSE(dialogs.chooseProgramFile(&parent).has_value());
    ASSERT_TRUE(open.seen);
    EXPECT_EQ(open.filters, filters);
    EXPECT_EQ(open.selected, filters[1]);
    EXPECT_EQ(open.accept, QFileDialog::AcceptOpen);
    EXPECT_EQ(open.mode, QFileDialog::ExistingFile); // the file must exist

    SeenFileDialog save;
    readAndCancelFileDialog(save);
    EXPECT_FALSE(dialogs.chooseSaveFile(&parent).has_value());
    ASSERT_TRUE(save.seen);
    EXPECT_EQ(save.filters, filters);
    EXPECT_EQ(save.selected, filters[1]);
    EXPECT_EQ(save.accept, QFileDialog::AcceptSave);
}

TEST(DesktopDialogsTest, RefusalIsAMessageBoxNamingThePath) {
    DesktopDialogs dialogs;
    QWidget parent;
    parent.show();
    QString shown;
    bool wasModal = false;
    // The box is modal: it is read and closed from the event loop it runs.
    QTimer::singleShot(0, [&] {
        waitUntil([] { return QApplication::activeModalWidget() != nullptr; }, 5000);
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            wasModal = box->isModal();
            box->accept();
        }
    });
    dialogs.refuse(&parent, QStringLiteral("The path is too long: /x/y.TK"));
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(shown, QStringLiteral("The path is too long: /x/y.TK"));

    // A path of 400 characters: the box fits the window, the path keeps its start and its file name.
    parent.resize(480, 640);
    const QString path =
        QStringLiteral("/home/user/") + QString(380, QChar('d')) + QStringLiteral("/LAST.TK");
    int boxWidth = 0;
    QTimer::singleShot(0, [&] {
        waitUntil([] { return QApplication::activeModalWidget() != nullptr; }, 5000);
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            boxWidth = box->frameGeometry().width();
            box->accept();
        }
    });
    dialogs.refuse(&parent, QString::fromStdU16String(pathTooLongText(path.toStdU16String())));
    EXPECT_GT(boxWidth, 0);
    EXPECT_LE(boxWidth, 480);
    const QStringList lines = shown.split(QLatin1Char('\n'));
    EXPECT_GE(lines.size(), 2);
    EXPECT_TRUE(lines.last().startsWith(QStringLiteral("/home/user/dd"))) << lines.last().toStdString();
    EXPECT_TRUE(lines.last().endsWith(QStringLiteral("d/LAST.TK"))) << lines.last().toStdString();
    EXPECT_TRUE(lines.last().contains(QChar(0x2026)));
    EXPECT_TRUE(shown.startsWith(QStringLiteral("The path is too long")));
}

TEST_F(MenuCommandTest, BreakKeyOnlyBreaksAndDiscardsPendingText) {
    window->handleCommand(CMD_SAVE);
    breakRaised();
    window->breakKey()->click();
    EXPECT_TRUE(pending().empty());
    EXPECT_EQ(breakRaised(), 1);
}

TEST_F(MenuCommandTest, CtrlAOpensAboutAndCtrlQIsConsumed) {
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window->isHidden());
    EXPECT_EQ(window->aboutBox(), nullptr);
    QTest::keyClick(&window->consoleWidget(), Qt::Key_A, Qt::ControlModifier);
    ASSERT_NE(window->aboutBox(), nullptr);
    EXPECT_TRUE(window->aboutBox()->isVisible());
    EXPECT_TRUE(pending().empty());
    EXPECT_EQ(breakRaised(), 0);
    QTest::keyClick(window->aboutBox()->okButton(), Qt::Key_Space);
    EXPECT_TRUE(waitUntil([&] { return window->aboutBox() == nullptr; }));
    // The unknown id goes nowhere.
    EXPECT_FALSE(window->handleCommand(CMD_QUIT_ACCELERATOR));
}

TEST_F(MenuCommandTest, ExitClosesTheWindow) {
    action(window->menu(), "Exit")->trigger();
    EXPECT_TRUE(window->isHidden());
}

// With the interpreter running: the commands do their work through the typed lines.
class MenuSessionTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowOptions options;
        options.dialogs = &dialogs;
        open(options, true);
    }
    // Issues a command and waits for the prompt that follows the typed line.
    void command(int id) {
        const int before = window->inputRequestsOpened();
        window->handleCommand(id);
        ASSERT_TRUE(waitForPrompt(before));
    }
    FakeDialogs dialogs;
};

TEST_F(MenuSessionTest, PasteTypesTheClipboardAndCopyScreenTakesTheGrid) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    // A listing from a web page: CR LF, a tab, a stray control code; the last line has no end.
    clipboard->setText(QStringLiteral("10 print \"P\";\r\n20 print\t\"Q\x01\"\r\nli"));
    const int before = window->inputRequestsOpened();
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Insert, Qt::ShiftModifier);
    ASSERT_TRUE(waitUntil([&] { return rowShowing(u"li") >= 0 && window->handoff().typedAhead().empty(); }));
    EXPECT_GE(window->inputRequestsOpened(), before + 1);
    typeLine("st");
    EXPECT_GE(rowShowing(u"10 print \"P\";"), 0);

    clipboard->setText(QStringLiteral("run\n"));
    const int ran = window->inputRequestsOpened();
    QTest::keyClick(&window->consoleWidget(), Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(waitForPrompt(ran));
    EXPECT_GE(rowShowing(u"PQ"), 0);

    // Ctrl+V alone types its control code, as any Ctrl+letter does.
    const int cursor = window->console().cursorColumn();
    QTest::keyClick(&window->consoleWidget(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(window->console().peekCell(cursor, window->console().cursorRow()), 0x16);
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Backspace);

    // A line over 255 characters: nothing typed, and the user is told why.
    clipboard->setText(QStringLiteral("print 1\n") + QString(256, QChar('x')));
    window->handleCommand(CMD_PASTE);
    ASSERT_EQ(dialogs.refusals.size(), 1u);
    EXPECT_EQ(dialogs.refusals[0].toStdString(),
              "Nothing was pasted: line 2 has 256 characters, and a line holds at most 255.");
    EXPECT_TRUE(window->handoff().typedAhead().empty());

    window->handleCommand(CMD_COPY_SCREEN);
    const QStringList copied = clipboard->text().split(QLatin1Char('\n'));
    EXPECT_EQ(copied.size(), screen().rows + 1); // every row, and the end of the last
    EXPECT_TRUE(copied.contains(QStringLiteral("PQ")));
    EXPECT_TRUE(copied.contains(QStringLiteral("OK")));
}

TEST_F(MenuSessionTest, SaveAsThenNewThenOpenBringsTheProgramBack) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("P.TK"));
    typeLine("10 print 42");
    dialogs.chosen = path;
    command(CMD_SAVE_AS);
    ASSERT_TRUE(QFile::exists(path));
    command(CMD_NEW);
    typeLine("list");
    EXPECT_EQ(rowShowing(u"10 print 42"), -1);
    command(CMD_OPEN);
    typeLine("run");
    EXPECT_GE(rowShowing(u"42"), 0);
}

TEST_F(MenuSessionTest, RunStopsARunningProgramClearsTheScreenAndRunsTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("R.TK"));
    {
        std::ofstream out(path.toStdString(), std::ios::binary);
        out << "10 print \"RAN\"\r\n";
    }
    typeLine("print \"BEFORE\"");
    // A program that never asks for input: the break stops it.
    QTest::keyClicks(&window->consoleWidget(), QStringLiteral("20 goto 20"));
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Return);
    QTest::keyClicks(&window->consoleWidget(), QStringLiteral("run"));
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !window->handoff().inputActive(); }));
    dialogs.chosen = path;
    command(CMD_RUN);
    EXPECT_GE(rowShowing(u"RAN"), 0);
    EXPECT_EQ(rowShowing(u"BEFORE"), -1);
}

TEST_F(MenuSessionTest, BreakKeyStopsARunningProgramAndThePromptComesBack) {
    typeLine("10 I=7:goto 10");
    const int before = window->inputRequestsOpened();
    QTest::keyClicks(&window->consoleWidget(), QStringLiteral("run"));
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !window->handoff().inputActive(); }));
    QTest::qWait(50);
    EXPECT_EQ(window->inputRequestsOpened(), before);
    window->breakKey()->click();
    ASSERT_TRUE(waitForPrompt(before));
    // The run ended with the break's message on the console, nothing typed for the user.
    bool broke = false;
    for (int row = 0; row < screen().rows; ++row)
        broke = broke || narrow(rowText(window->console(), row)).find("Break") != std::string::npos;
    EXPECT_TRUE(broke);
    EXPECT_TRUE(window->handoff().pendingInput().empty());
    typeLine("print I");
    std::string shown;
    for (int row = 0; row < screen().rows; ++row) shown += narrow(rowText(window->console(), row)) + "\n";
    EXPECT_GE(rowShowing(u"7"), 0) << shown;
}

TEST_F(MenuSessionTest, RunWhileWaitcharWaitsBreaksTheWaitAndRunsTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("W.TK"));
    {
        std::ofstream out(path.toStdString(), std::ios::binary);
        out << "10 print \"AFTER\"\r\n";
    }
    const int before = window->inputRequestsOpened();
    QTest::keyClicks(&window->consoleWidget(), QStringLiteral("print waitchar"));
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] {
        return window->inputRequestsOpened() > before && window->handoff().inputMode() == InputMode::Char;
    }));
    dialogs.chosen = path;
    command(CMD_RUN);
    // The wait was answered with Ctrl-C, the break stopped the line, and the file ran on a cleared screen.
    EXPECT_GE(rowShowing(u"AFTER"), 0);
    EXPECT_EQ(rowShowing(u"print waitchar"), -1);
    EXPECT_EQ(window->handoff().inputMode(), InputMode::Line);
}

TEST_F(MenuSessionTest, CtrlAOpensAboutWhileAProgramRunsWithoutStoppingIt) {
    typeLine("10 goto 10");
    const int before = window->inputRequestsOpened();
    QTest::keyClicks(&window->consoleWidget(), QStringLiteral("run"));
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !window->handoff().inputActive(); }));
    QTest::keyClick(&window->consoleWidget(), Qt::Key_A, Qt::ControlModifier);
    ASSERT_NE(window->aboutBox(), nullptr);
    EXPECT_TRUE(window->aboutBox()->isVisible());
    QTest::qWait(50);
    // Still running: no break raised, no prompt opened, nothing typed.
    EXPECT_EQ(window->interpreter().breakRequested.load(), 0);
    EXPECT_EQ(window->inputRequestsOpened(), before);
    EXPECT_TRUE(window->handoff().pendingInput().empty());
    window->aboutBox()->okButton()->click();
    ASSERT_TRUE(waitUntil([&] { return window->aboutBox() == nullptr; }));
    window->breakKey()->click();
    EXPECT_TRUE(waitForPrompt(before));
}

TEST_F(MenuSessionTest, BreakAtThePromptAnswersWithCtrlCAndTypesNothing) {
    const int before = window->inputRequestsOpened();
    window->breakKey()->click();
    ASSERT_TRUE(waitForPrompt(before));
    EXPECT_TRUE(window->handoff().pendingInput().empty());
}

TEST_F(MenuSessionTest, ExitStatementClosesTheWindowAndEndsTheThread) {
    QTest::keyClicks(&window->consoleWidget(), QStringLiteral("exit"));
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Return);
    EXPECT_TRUE(waitUntil([&] { return window->isHidden(); }));
}

TEST_F(MenuSessionTest, ClosingWhileAProgramRunsWakesAndJoinsTheInterpreter) {
    QTest::keyClicks(&window->consoleWidget(), QStringLiteral("10 goto 10"));
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Return);
    QTest::keyClicks(&window->consoleWidget(), QStringLiteral("run"));
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !window->handoff().inputActive(); }));
    QElapsedTimer timer;
    timer.start();
    window->close();
    EXPECT_TRUE(window->isHidden());
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_TRUE(window->handoff().shuttingDown());
}

} // namespace
} // namespace tavik::testing
