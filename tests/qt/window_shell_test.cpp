// The window as the device: keys become the system's key codes and characters, the input method follows
// the cursor, orient turns the window, the About box lays itself out for the screen's shape, one window per
// user, and the display decides between window and batch console.
#include "window_fixture.h"

#include "app_resources.h"
#include "key_map.h"
#include "single_instance.h"
#include "window_app.h"

#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <thread>

namespace tavik::testing {
namespace {

TEST(KeyMapTest, KeysGiveWindowsVirtualKeyCodes) {
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        int vk;
    } cases[] = {{Qt::Key_A, Qt::NoModifier, 0x41},       {Qt::Key_Z, Qt::ShiftModifier, 0x5A},
                 {Qt::Key_0, Qt::NoModifier, 0x30},       {Qt::Key_Exclam, Qt::ShiftModifier, 0x31},
                 {Qt::Key_5, Qt::KeypadModifier, 0x65},   {Qt::Key_Down, Qt::KeypadModifier, 0x28},
                 {Qt::Key_Left, Qt::NoModifier, 0x25},    {Qt::Key_Enter, Qt::KeypadModifier, 0x0D},
                 {Qt::Key_Return, Qt::NoModifier, 0x0D},  {Qt::Key_Backspace, Qt::NoModifier, 0x08},
                 {Qt::Key_Tab, Qt::NoModifier, 0x09},     {Qt::Key_Escape, Qt::NoModifier, 0x1B},
                 {Qt::Key_Space, Qt::NoModifier, 0x20},   {Qt::Key_Shift, Qt::ShiftModifier, 0x10},
                 {Qt::Key_Control, Qt::NoModifier, 0x11}, {Qt::Key_Alt, Qt::AltModifier, 0x12},
                 {Qt::Key_F1, Qt::NoModifier, 0x70},      {Qt::Key_F12, Qt::NoModifier, 0x7B},
                 {Qt::Key_Home, Qt::NoModifier, 0x24},    {Qt::Key_End, Qt::NoModifier, 0x23},
                 {Qt::Key_PageUp, Qt::NoModifier, 0x21},  {Qt::Key_PageDown, Qt::NoModifier, 0x22},
                 {Qt::Key_Insert, Qt::NoModifier, 0x2D},  {Qt::Key_Delete, Qt::NoModifier, 0x2E},
                 {Qt::Key_unknown, Qt::NoModifier, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(virtualKeyOf(c.key, c.modifiers), c.vk) << "key " << std::hex << c.key;
}

TEST(KeyMapTest, KeysTypeTheirCharacters) {
    EXPECT_EQ(translateKey(Qt::Key_A, Qt::NoModifier, "a").units, u"a");
    EXPECT_EQ(translateKey(Qt::Key_A, Qt::ShiftModifier, "A").units, u"A");
    EXPECT_EQ(translateKey(Qt::Key_Return, Qt::NoModifier, "\r").units, u"\r");
    EXPECT_EQ(translateKey(Qt::Key_Enter, Qt::KeypadModifier, "").units, u"\r");
    EXPECT_EQ(translateKey(Qt::Key_Backspace, Qt::NoModifier, "").units, u"\b");
    EXPECT_EQ(translateKey(Qt::Key_Tab, Qt::NoModifier, "").units, u"\t");
    EXPECT_EQ(translateKey(Qt::Key_Escape, Qt::NoModifier, "").units, u"\x1B");
    // Ctrl with a letter types the control character, whatever the desktop left in the text.
    const KeyStroke ctrlC = translateKey(Qt::Key_C, Qt::ControlModifier, "");
    EXPECT_EQ(ctrlC.units, std::u16string(1, u'\x03'));
    EXPECT_EQ(ctrlC.virtualKey, 0x43);
    EXPECT_TRUE(ctrlC.controlOnly);
    EXPECT_FALSE(translateKey(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, "").controlOnly);
    EXPECT_EQ(translateKey(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, "").units,
              std::u16string(1, u'\x1A'));
    // Keys that type nothing: cursor keys, Delete (even when the desktop says DEL), anything with Alt.
    EXPECT_TRUE(translateKey(Qt::Key_Left, Qt::NoModifier, "").units.empty());
    EXPECT_TRUE(translateKey(Qt::Key_Delete, Qt::NoModifier, "\x7F").units.empty());
    EXPECT_TRUE(translateKey(Qt::Key_X, Qt::AltModifier, "x").units.empty());
    // A character beyond the basic plane arrives as its two units.
    EXPECT_EQ(translateKey(0, Qt::NoModifier, QString::fromUtf8("\xF0\x9F\x98\x80")).units, u"\U0001F600");
}

using WindowShellTest = WindowTest;

TEST_F(WindowShellTest, TypedLineRunsAndItsOutputShows) {
    typeLine("print 1+2");
    EXPECT_GE(rowShowing(u"3"), 0);
}

TEST_F(WindowShellTest, KeysAnswerWaitkeyAndWaitcharAndArrowsEditTheLine) {
    const int before = window->inputRequestsOpened();
    QTest::keyClicks(&window->consoleWidget(), QStringLiteral("print waitkey,waitchar"));
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] {
        return window->inputRequestsOpened() > before && window->handoff().inputMode() == InputMode::Key;
    }));
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Left);
    ASSERT_TRUE(waitUntil([&] { return window->handoff().inputMode() == InputMode::Char; }));
    const int beforeChar = window->inputRequestsOpened();
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Left); // ignored by a character request
    QTest::keyClicks(&window->consoleWidget(), QStringLiteral("z"));
    ASSERT_TRUE(waitForPrompt(beforeChar));
    EXPECT_GE(rowShowing(u"37      122"), 0);
}

TEST_F(WindowShellTest, AClickPlacesTheCursorAndHomeEndDeleteEditTheLine) {
    // "print 123" typed, then a click on the 2, Delete, Home and End: "print 13" with a 4 at its end.
    QTest::keyClicks(&window->consoleWidget(), QStringLiteral("print 123"));
    const int row = window->console().screen().cursorRow;
    const PixelRect two = window->console().geometry().cellRect(7, row);
    QTest::mouseClick(&window->consoleWidget(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(two.left + two.width() / 2, two.top + two.height() / 2));
    EXPECT_EQ(window->console().screen().cursorColumn, 7);
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Delete);
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Home);
    EXPECT_EQ(window->console().screen().cursorColumn, 0);
    QTest::keyClick(&window->consoleWidget(), Qt::Key_End);
    QTest::keyClicks(&window->consoleWidget(), QStringLiteral("4"));
    // Outside the grid, on the banner's row with the right button, nothing moves.
    const PixelRect grid = consoleRect();
    QTest::mouseClick(&window->consoleWidget(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(grid.left - 1, grid.top));
    QTest::mouseClick(&window->consoleWidget(), Qt::RightButton, Qt::NoModifier,
                      QPoint(grid.left + 1, grid.top + 1));
    EXPECT_EQ(window->console().screen().cursorColumn, 9);
    const int before = window->inputRequestsOpened();
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Return);
    ASSERT_TRUE(waitForPrompt(before));
    EXPECT_GE(rowShowing(u"134"), 0);
}

TEST_F(WindowShellTest, KeyFunctionReadsTheKeysHeldAndFocusLossReleasesThem) {
    QTest::keyPress(&window->consoleWidget(), Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_TRUE(window->handoff().keyDown(0x10));
    QTest::keyRelease(&window->consoleWidget(), Qt::Key_Shift, Qt::NoModifier);
    EXPECT_FALSE(window->handoff().keyDown(0x10));
    QTest::keyPress(&window->consoleWidget(), Qt::Key_Right);
    EXPECT_TRUE(window->handoff().keyDown(0x27));
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(&window->consoleWidget(), &out);
    EXPECT_FALSE(window->handoff().keyDown(0x27));
}

TEST_F(WindowShellTest, InputMethodCommitIsTypedAndItsWindowFollowsTheCursor) {
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("あいう"));
    QApplication::sendEvent(&window->consoleWidget(), &commit);
    const int row = window->console().cursorRow();
    EXPECT_EQ(rowText(window->console(), row), u"あいう");
    const QRect rect = window->consoleWidget().inputMethodQuery(Qt::ImCursorRectangle).toRect();
    EXPECT_EQ(rect, window->view().cellRect(3, row));
    EXPECT_TRUE(window->consoleWidget().inputMethodQuery(Qt::ImEnabled).toBool());
    EXPECT_EQ(window->consoleWidget().inputMethodQuery(Qt::ImFont).value<QFont>().pixelSize(), 16);
}

TEST_F(WindowShellTest, OrientTurnsTheWindowAndTheFunctionFollows) {
    typeLine("orient 90:print orient");
    EXPECT_GE(rowShowing(u"1"), 0);
    ASSERT_TRUE(waitUntil([&] { return window->width() == 640 && window->height() == 480; }));
    EXPECT_EQ(window->screenWidth(), 640);
    typeLine("orient 0:print orient+5");
    EXPECT_GE(rowShowing(u"5"), 0);
    ASSERT_TRUE(waitUntil([&] { return window->width() == 480 && window->height() == 640; }));
    typeLine("orient 270:print orient+7");
    EXPECT_GE(rowShowing(u"8"), 0);
    EXPECT_TRUE(waitUntil([&] { return window->width() == 640; }));
}

TEST_F(WindowShellTest, OrientWaitReturnsWhenTheUserMakesTheWindowWide) {
    const int before = window->inputRequestsOpened();
    QTest::keyClicks(&window->consoleWidget(), QStringLiteral("orient -1:print \"WIDE\""));
    QTest::keyClick(&window->consoleWidget(), Qt::Key_Return);
    QTest::qWait(300);
    EXPECT_EQ(rowShowing(u"WIDE"), -1);
    window->resize(800, 500);
    ASSERT_TRUE(waitForPrompt(before));
    EXPECT_GE(rowShowing(u"WIDE"), 0);
}

TEST_F(WindowShellTest, AboutBoxLaysItselfOutForPortraitAndLandscape) {
    window->handleCommand(CMD_ABOUT);
    AboutBox* about = window->aboutBox();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->geometry(), window->rect());
    EXPECT_EQ(about->templateForScreen(), IDD_ABOUT_PORTRAIT);
    EXPECT_TRUE(about->lastLayoutResult());
    QLabel* icon = about->control(IDC_ABOUT_ICON);
    QLabel* version = about->control(IDC_ABOUT_VERSION);
    QLabel* notice = about->control(IDC_ABOUT_NOTICE);
    EXPECT_EQ(version->text(), "tavikWM Version 0.03");
    EXPECT_FALSE(icon->pixmap().isNull());
    // Portrait: the text under the icon.
    EXPECT_EQ(version->x(), icon->x());
    EXPECT_GT(version->y(), icon->geometry().bottom());
    EXPECT_GT(notice->y(), version->y());
    const int loads = about->iconLoads();

    window->resize(640, 480);
    ASSERT_TRUE(waitUntil([&] { return about->width() == 640; }));
    EXPECT_EQ(about->templateForScreen(), IDD_ABOUT_LANDSCAPE);
    EXPECT_TRUE(about->lastLayoutResult());
    // Landscape: the text beside the icon, the version set again after the layout.
    EXPECT_GT(version->x(), icon->geometry().right());
    EXPECT_EQ(version->y(), icon->y());
    EXPECT_EQ(version->text(), "tavikWM Version 0.03");
    EXPECT_GT(about->iconLoads(), loads);

    // A square screen takes the landscape template.
    window->resize(500, 500);
    ASSERT_TRUE(waitUntil([&] { return about->width() == 500; }));
    EXPECT_EQ(about->templateForScreen(), IDD_ABOUT_LANDSCAPE);

    QTest::keyClick(about, Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return window->aboutBox() == nullptr; }));
}

TEST_F(WindowShellTest, AboutBoxKeepsKeysFromTheConsoleAndTheInterpreterRuns) {
    window->handleCommand(CMD_ABOUT);
    ASSERT_NE(window->aboutBox(), nullptr);
    QTest::keyClicks(window->aboutBox(), QStringLiteral("x"));
    EXPECT_TRUE(rowText(window->console(), window->console().cursorRow()).empty());
    window->aboutBox()->okButton()->click();
    ASSERT_TRUE(waitUntil([&] { return window->aboutBox() == nullptr; }));
    typeLine("print 6*7");
    EXPECT_GE(rowShowing(u"42"), 0);
}

TEST_F(WindowShellTest, ScreenOptionSizesTheWindowAndTheConsole) {
    WindowOptions options;
    options.width = 320;
    options.height = 240;
    open(options);
    EXPECT_EQ(window->width(), 320);
    EXPECT_EQ(window->height(), 240);
    EXPECT_EQ(window->screenWidth(), 320);
    EXPECT_EQ(screen().fontHeight, 16);
    // The square is the smaller side less the soft keys' height.
    const int side = 240 - (240 - window->consoleWidget().height());
    EXPECT_EQ(window->console().squareSide(), side);
}

TEST_F(WindowShellTest, FileGivenAtStartRuns) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("S.TK"));
    {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("10 print \"STARTED\"\r\n");
    }
    window.reset();
    window = std::make_unique<MainWindow>();
    window->show();
    window->startInterpreter(path.toStdU16String());
    ASSERT_TRUE(waitForPrompt(0));
    EXPECT_GE(rowShowing(u"STARTED"), 0);
}

TEST_F(WindowShellTest, ATinyWindowKeepsAUsableConsoleAndGrowsBackWhole) {
    const int bar = window->height() - window->consoleWidget().height();
    EXPECT_EQ(window->minimumWidth(), MIN_CONSOLE_SIDE);
    EXPECT_EQ(window->minimumHeight(), MIN_CONSOLE_SIDE + bar);
    // A window manager that ignores the minimum: NEW in a 60 x 60 window.
    window->setMinimumSize(0, 0);
    window->resize(60, 60);
    ASSERT_TRUE(waitUntil([&] { return window->width() == 60 && window->height() == 60; }, 5000));
    typeLine("new");
    EXPECT_EQ(screen().columns, MIN_CONSOLE_SIDE / screen().cellWidth);
    EXPECT_EQ(screen().rows, MIN_CONSOLE_SIDE / screen().cellHeight);
    EXPECT_GE(screen().rows, 8);
    typeLine("print 6*7");
    EXPECT_GE(rowShowing(u"42"), 0);
    window->resize(480, 640);
    ASSERT_TRUE(waitUntil([&] { return window->height() == 640; }, 5000));
    typeLine("new");
    EXPECT_EQ(screen().columns, window->console().squareSide() / screen().cellWidth);
    EXPECT_GT(screen().columns, MIN_CONSOLE_SIDE / screen().cellWidth);
}

TEST_F(WindowShellTest, ASecondStartHandsOverItsFileAsAnAbsolutePathAndItRuns) {
    QTemporaryDir dir;
    SingleInstance first(dir.path());
    ASSERT_TRUE(first.claim());
    QStringList opened;
    int activated = 0;
    first.onOpen = [&](const QString& path) { opened << path; };
    first.onActivate = [&] { ++activated; };

    // Started in another folder with a relative name, and a name that needs care on the way.
    const QString here = QDir::currentPath();
    QDir::setCurrent(dir.path());
    SingleInstance second(dir.path());
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(second.activateRunning(QStringLiteral("sub/プログラム 1%.TK")));
    EXPECT_TRUE(second.activateRunning());
    QDir::setCurrent(here);
    ASSERT_TRUE(waitUntil([&] { return opened.size() == 1 && activated == 1; }, 5000));
    EXPECT_EQ(opened[0], QDir(dir.path()).filePath(QStringLiteral("sub/プログラム 1%.TK")));

    // The running window runs it as Run... does: the program is broken off, the screen cleared.
    const QString path = dir.filePath(QStringLiteral("H.TK"));
    {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("10 print \"HANDED\"\r\n");
    }
    typeLine("print \"BEFORE\"");
    const int before = window->inputRequestsOpened();
    window->runFileFromAnotherStart(path);
    ASSERT_TRUE(waitForPrompt(before));
    ASSERT_TRUE(waitUntil([&] { return rowShowing(u"HANDED") >= 0; }));
    EXPECT_EQ(rowShowing(u"BEFORE"), -1);
}

// Records every event that reaches a widget on a thread other than the user-interface thread: a widget
// touched from the interpreter thread (a resize, a repaint, a focus change, a timer started) shows up here.
class WidgetThreadWatch final : public QObject {
  public:
    WidgetThreadWatch() { QApplication::instance()->installEventFilter(this); }
    ~WidgetThreadWatch() override { QApplication::instance()->removeEventFilter(this); }
    std::atomic<int> foreign{0};
    std::atomic<int> seen{0};

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched->isWidgetType()) {
            ++seen;
            if (QThread::currentThread() != QApplication::instance()->thread()) {
                ++foreign;
                std::fprintf(stderr, "event %d for %s on a foreign thread\n", static_cast<int>(event->type()),
                             watched->metaObject()->className());
            }
        }
        return false;
    }
};

TEST_F(WindowShellTest, InterpreterThreadNeverTouchesAWidget) {
    WidgetThreadWatch watch;
    // Everything the interpreter shows: output that scrolls and wraps, the bell, colours, cls, locate, a size
    // change, the plane opened, cleared, plotted on and closed, a turn of the screen and back, the waits.
    typeLine("for i=1 to 60:print i;chr 7;:next:print");
    typeLine("fcolor 255,0,0:bcolor 0,0,80:cls:locate 3,3:print \"X\":width 20,12,20:width 27,25,0");
    typeLine("graph 3,40,20:gcls:for i=0 to 39:pset i,i/2:next:print pointr(0,0):graph");
    typeLine("orient 90:print orient:orient 0:waitms 10:print tick>=0");
    ASSERT_TRUE(waitUntil([&] { return window->width() == 480 && window->height() == 640; }));
    typeLine("fcolor 0,0,0:bcolor 255,255,255:cls");
    EXPECT_GT(watch.seen.load(), 0);
    EXPECT_EQ(watch.foreign.load(), 0);
    // The watch does see a widget reached from another thread (a harmless user event, sent directly).
    std::thread([&] {
        QEvent nothing(QEvent::User);
        QCoreApplication::sendEvent(window->breakKey(), &nothing);
    }).join();
    EXPECT_EQ(watch.foreign.load(), 1);
}

// What the console's bell becomes: one beep request to the window per bell, queued, never drawn.
class CountingSink final : public RepaintSink {
  public:
    int repaints = 0, beeps = 0, cursors = 0;
    void requestRepaint() override { ++repaints; }
    void requestBeep() override { ++beeps; }
    void requestCursorUpdate() override { ++cursors; }
};

TEST(WindowViewTest, BellRingsTheDesktopBellOncePerBellCharacter) {
    WindowView view(480, 640, 480, 600);
    Console console(view);
    CountingSink sink;
    view.attach(console, sink);
    {
        std::lock_guard<std::recursive_mutex> guard(console.lock());
        console.resetConsole();
        sink.beeps = 0;
        console.putString(u"a\ab\a\a");
    }
    EXPECT_EQ(sink.beeps, 3);
    EXPECT_GT(sink.repaints, 0);
    // The bell shows nothing: the two letters and no glyph for the bells.
    EXPECT_EQ(rowText(console, 0), u"ab");
}

TEST(SingleInstanceTest, SecondStartReachesTheFirstAndDoesNotClaim) {
    QTemporaryDir dir;
    SingleInstance first(dir.path());
    int activations = 0;
    first.onActivate = [&] { ++activations; };
    ASSERT_TRUE(first.claim());
    SingleInstance second(dir.path());
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(second.activateRunning());
    EXPECT_TRUE(waitUntil([&] { return activations == 1; }, 5000));
}

TEST(SingleInstanceTest, NobodyRunningMeansNobodyToReach) {
    QTemporaryDir dir;
    SingleInstance lone(dir.path());
    EXPECT_FALSE(lone.activateRunning(QString(), 200));
    {
        SingleInstance gone(dir.path());
        ASSERT_TRUE(gone.claim());
    }
    // The first start ended: the next one claims again.
    EXPECT_TRUE(lone.claim());
}

// What a path is, without following a link: its type, owner and permission bits; type 0 when it is not there.
struct PathStat {
    mode_t type = 0;
    uid_t owner = 0;
    mode_t permissions = 0;
};
PathStat pathStat(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return {static_cast<mode_t>(st.st_mode & S_IFMT), st.st_uid, static_cast<mode_t>(st.st_mode & 07777)};
}

// Sets an environment variable for a scope (unset when value is null), and puts the old value back.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// No runtime folder (XDG_RUNTIME_DIR unset and the toolkit's own folder in /tmp taken by someone else): the
// lock and the socket go into a folder made for this user alone, never into the shared temporary folder
// itself, and carry the user's id in their names. A folder of that name that is not such a folder (a link,
// one others may enter) is not used: the window then runs on its own.
TEST(SingleInstanceTest, WithoutARuntimeFolderTheLockAndSocketLiveInAPrivateFolder) {
    QTemporaryDir shared;
    ASSERT_EQ(::chmod(QFile::encodeName(shared.path()).constData(), 01777), 0);
    ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
    ScopedEnv temporary("TMPDIR", QFile::encodeName(shared.path()).constData());
    const passwd* me = ::getpwuid(::geteuid());
    ASSERT_NE(me, nullptr);
    QFile taken(
        QDir(shared.path()).filePath(QStringLiteral("runtime-") + QString::fromLocal8Bit(me->pw_name)));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly)); // the toolkit cannot make its folder there
    taken.close();
    ASSERT_EQ(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation), QString());

    const QString uid = QString::number(::geteuid());
    const QString folder = SingleInstance::defaultDirectory();
    EXPECT_NE(QDir(folder).canonicalPath(), QDir(shared.path()).canonicalPath());
    const PathStat made = pathStat(folder);
    EXPECT_EQ(made.type, static_cast<mode_t>(S_IFDIR));
    EXPECT_EQ(made.owner, ::geteuid());
    EXPECT_EQ(made.permissions, 0700u);
    {
        SingleInstance first(folder);
        ASSERT_TRUE(first.claim());
        EXPECT_EQ(pathStat(QDir(folder).filePath(QStringLiteral("tavikwm-%1.lock").arg(uid))).type,
                  static_cast<mode_t>(S_IFREG));
        EXPECT_EQ(pathStat(QDir(folder).filePath(QStringLiteral("tavikwm-%1.socket").arg(uid))).type,
                  static_cast<mode_t>(S_IFSOCK));
        EXPECT_EQ(
            QDir(shared.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2)
            << "nothing but the private folder and the planted name in the shared folder";
        SingleInstance second(SingleInstance::defaultDirectory());
        EXPECT_FALSE(second.claim()) << "a second start finds the same folder";
    }

    // Planted before us: a link to a folder of ours, then a folder others may enter.
    QTemporaryDir elsewhere;
    QDir(folder).removeRecursively();
    ASSERT_TRUE(QFile::link(elsewhere.path(), folder));
    EXPECT_EQ(SingleInstance::defaultDirectory(), QString()) << "a link is not our folder";
    QFile::remove(folder);
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
    EXPECT_EQ(SingleInstance::defaultDirectory(), QString()) << "a folder others may write to is not ours";
    SingleInstance alone(SingleInstance::defaultDirectory());
    EXPECT_TRUE(alone.claim()) << "without a private folder the window runs on its own";
    EXPECT_FALSE(alone.activateRunning(QString(), 200));
    EXPECT_TRUE(QDir(folder).isEmpty()) << "nothing was made in a folder that is not ours";
    QDir(folder).removeRecursively();
}

// A lock or a socket of another user is no start of ours: a lock is taken over, a socket never spoken to,
// so that nobody else can keep the window from starting or learn the files it is asked to run.
TEST(SingleInstanceTest, ALockOrSocketOfAnotherUserIsIgnored) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a lock and a socket to another user";
    const uid_t other = 65534; // nobody
    QTemporaryDir dir;
    const QString uid = QString::number(::geteuid());
    const QByteArray lock =
        QFile::encodeName(QDir(dir.path()).filePath(QStringLiteral("tavikwm-%1.lock").arg(uid)));
    const QByteArray socket =
        QFile::encodeName(QDir(dir.path()).filePath(QStringLiteral("tavikwm-%1.socket").arg(uid)));
    int activations = 0;
    SingleInstance first(dir.path());
    first.onActivate = [&] { ++activations; };
    ASSERT_TRUE(first.claim());

    // The socket handed to another user: a later start finds the lock but does not speak to that socket.
    ASSERT_EQ(::chown(socket.constData(), other, other), 0);
    SingleInstance second(dir.path());
    EXPECT_FALSE(second.claim());
    EXPECT_FALSE(second.activateRunning(QStringLiteral("secret.tk"), 300));
    QCoreApplication::processEvents();
    EXPECT_EQ(activations, 0);

    // The lock handed to another user: the next start takes it over and listens itself.
    ASSERT_EQ(::chown(lock.constData(), other, other), 0);
    SingleInstance third(dir.path());
    int thirdActivations = 0;
    third.onActivate = [&] { ++thirdActivations; };
    EXPECT_TRUE(third.claim());
    EXPECT_EQ(pathStat(QString::fromLocal8Bit(lock)).owner, ::geteuid());
    SingleInstance fourth(dir.path());
    EXPECT_FALSE(fourth.claim());
    EXPECT_TRUE(fourth.activateRunning());
    EXPECT_TRUE(waitUntil([&] { return thirdActivations == 1; }, 5000));
    EXPECT_EQ(activations, 0);
}

TEST(DisplayTest, WindowNeedsADisplayOrANamedPlatform) {
    std::map<std::string, const char*> env;
    auto get = [&](const char* name) -> const char* {
        const auto found = env.find(name);
        return found == env.end() ? nullptr : found->second;
    };
    EXPECT_FALSE(displayAvailable(get));
    env["DISPLAY"] = "";
    EXPECT_FALSE(displayAvailable(get));
    env["DISPLAY"] = ":0";
    EXPECT_TRUE(displayAvailable(get));
    env.clear();
    env["WAYLAND_DISPLAY"] = "wayland-0";
    EXPECT_TRUE(displayAvailable(get));
    env.clear();
    env["QT_QPA_PLATFORM"] = "offscreen";
    EXPECT_TRUE(displayAvailable(get));
}

} // namespace
} // namespace tavik::testing
