// tavik_window_bench: the window's speed on the offscreen platform (unless QT_QPA_PLATFORM names another).
//
//   tavik_window_bench [--only repaint|print|startup] [TAVIKWM]
//
// Wall times are reported with the process's CPU time beside them: on a loaded machine the interpreter
// thread (which runs below normal priority) waits for the processor, and the CPU time shows the work.
//
//   repaint   a full repaint of a 100 x 100 grid: the image drawn from the model and the widget painted
//             (warm: the cells drawn before; cold: every cell a new glyph and colour)       goal < 16 ms
//   print     10,000 printed lines in the window against the batch console                 goal <= 3x
//   startup   a start of the window until it shows "OK" (this program started again as a child);
//             with TAVIKWM, also the real program started with a file that exits at once    goal < 300 ms
#include "batch_session.h"
#include "main_window.h"
#include "support/console_peer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <numeric>
#include <sstream>
#include <streambuf>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using Guard = std::lock_guard<std::recursive_mutex>;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of the whole process (all its threads), in milliseconds.
double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Spread {
    double median = 0, minimum = 0, maximum = 0;
};

Spread spread(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.front(), v.back()};
}

// Runs the event loop until the condition holds, looking every half millisecond; the thread sleeps in
// between, as the window's thread does.
bool waitUntil(const std::function<bool()>& condition, int patienceMs = 60000) {
    if (condition()) return true;
    QEventLoop loop;
    QTimer look;
    look.setTimerType(Qt::PreciseTimer);
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (condition()) loop.quit();
    });
    look.start(1);
    QTimer::singleShot(patienceMs, &loop, &QEventLoop::quit);
    loop.exec();
    return condition();
}

// ---------------------------------------------------------------------------------------------------------

void benchRepaint() {
    tavik::WindowOptions options;
    options.width = 1700;
    options.height = 1800;
    tavik::MainWindow window(options);
    window.show();
    // Painting starts once the platform shows the window.
    waitUntil([&] { return window.windowHandle() != nullptr && window.windowHandle()->isExposed(); });
    tavik::Console& console = window.console();
    auto fill = [&](int salt) {
        Guard guard(console.lock());
        console.setConsoleSize(100, 100, 16);
        for (int row = 0; row < 100; ++row) {
            for (int column = 0; column < 100; ++column) {
                const int i = tavik::TextScreen::cellIndex(column, row);
                // Cold: a different kanji and colour in every cell. Warm: text in two colours.
                tavik::ConsolePeer(console).screen.cellChar[i] =
                    salt == 0 ? static_cast<std::uint16_t>(0x21 + (column + row) % 90)
                              : static_cast<std::uint16_t>(0x4E00 + (salt * 10007 + i) % 20000);
                tavik::ConsolePeer(console).screen.cellFore[i] =
                    salt == 0 ? (row % 2 ? 0x0000FF : 0) : static_cast<tavik::Colour>(i * 97 + salt);
                tavik::ConsolePeer(console).screen.cellBack[i] = 0xFFFFFF;
            }
        }
    };
    tavik::ConsoleWidget& widget = window.consoleWidget();
    auto repaintAll = [&] {
        const auto start = Clock::now();
        {
            Guard guard(console.lock());
            console.damageAll();
        }
        widget.repaint();
        return msSince(start);
    };
    auto renderOnly = [&] {
        const auto start = Clock::now();
        Guard guard(console.lock());
        console.damageAll();
        window.view().bringUpToDate();
        return msSince(start);
    };
    fill(0);
    repaintAll();
    std::vector<double> warm, render;
    for (int i = 0; i < 50; ++i) warm.push_back(repaintAll());
    for (int i = 0; i < 50; ++i) render.push_back(renderOnly());
    // The text screen once more after the drawn cells were forgotten, as after a change of the font size.
    std::vector<double> emptied;
    for (int i = 0; i < 5; ++i) {
        {
            Guard guard(console.lock());
            window.view().renderer().glyphs() = tavik::GlyphCache();
        }
        emptied.push_back(repaintAll());
    }
    std::vector<double> cold;
    for (int i = 1; i <= 5; ++i) {
        fill(i);
        cold.push_back(repaintAll());
    }
    const Spread w = spread(warm);
    const Spread r = spread(render);
    const Spread c = spread(cold);
    const Spread e = spread(emptied);
    std::printf(
        "repaint  100x100 grid (%dx%d px): median %.2f ms (min %.2f, max %.2f), of which the image "
        "%.2f ms; with the drawn cells forgotten: median %.2f ms; every cell a glyph and colour never "
        "drawn before: median %.0f ms  goal < 16 ms\n",
        widget.width(), widget.height(), w.median, w.minimum, w.maximum, r.median, e.median, c.median);
    window.close();
}

// ---------------------------------------------------------------------------------------------------------

class Discard final : public std::streambuf {
  protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

struct Timing {
    double wall = 0, cpu = 0;
};

Timing printInBatch(const std::string& file) {
    Discard sink;
    std::ostream out(&sink);
    std::istringstream in;
    tavik::BatchOptions options;
    options.file = file;
    const auto start = Clock::now();
    const double cpu = cpuMs();
    tavik::runBatchSession(in, out, out, options);
    return {msSince(start), cpuMs() - cpu};
}

Timing printInWindow(const std::string& file) {
    tavik::MainWindow window;
    window.show();
    window.startInterpreter();
    waitUntil([&] { return window.inputRequestsOpened() > 0; });
    // The run is typed at the prompt, as the menu's Run... types it; it is over when the next prompt opens,
    // and the last lines are then painted.
    const QString line = QStringLiteral("run \"%1\"\r").arg(QString::fromStdString(file));
    const auto start = Clock::now();
    const double cpu = cpuMs();
    window.handoff().typeForUser(line.toStdU16String());
    waitUntil([&] { return window.inputRequestsOpened() > 1; });
    window.consoleWidget().flush();
    window.consoleWidget().repaint();
    const Timing t{msSince(start), cpuMs() - cpu};
    {
        // The figure only counts when the whole run went by: its last line shows on the screen.
        tavik::Console& console = window.console();
        Guard guard(console.lock());
        bool reached = false;
        for (int row = 0; row < console.screen().rows; ++row) {
            std::u16string text;
            for (int column = 0; column < console.screen().columns; ++column)
                text.push_back(static_cast<char16_t>(console.peekCell(column, row)));
            while (!text.empty() && text.back() == u' ') text.pop_back();
            if (text == u"line 10000") reached = true;
        }
        if (!reached) std::fputs("print    warning: the window's run did not reach line 10000\n", stderr);
    }
    window.close();
    return t;
}

void benchPrinting(const QTemporaryDir& dir) {
    const std::string file = dir.filePath(QStringLiteral("PRINT.TK")).toStdString();
    {
        std::ofstream out(file, std::ios::binary);
        out << "10 for i=1 to 10000\r\n20 print \"line \";i\r\n30 next\r\n";
    }
    std::vector<double> batch, window, batchCpu, windowCpu;
    // A run takes a few milliseconds: many of them, so that the medians stand on a loaded machine.
    for (int i = 0; i < 31; ++i) {
        const Timing b = printInBatch(file);
        const Timing w = printInWindow(file);
        batch.push_back(b.wall);
        batchCpu.push_back(b.cpu);
        window.push_back(w.wall);
        windowCpu.push_back(w.cpu);
    }
    const Spread b = spread(batch);
    const Spread w = spread(window);
    const Spread bc = spread(batchCpu);
    const Spread wc = spread(windowCpu);
    std::printf(
        "print    10,000 lines: window median %.1f ms (min %.1f), batch median %.1f ms (min %.1f): %.2fx;"
        " CPU window %.1f ms, batch %.1f ms: %.2fx  goal <= 3x\n",
        w.median, w.minimum, b.median, b.minimum, w.median / b.median, wc.median, bc.median,
        wc.median / bc.median);
}

// ---------------------------------------------------------------------------------------------------------

// The child of the start-up measure: up to a painted "OK", then a line on standard output.
int startupChild() {
    // The phases, in milliseconds of the monotonic clock, which parent and child share.
    std::vector<std::pair<const char*, double>> phases;
    auto mark = [&](const char* name) {
        phases.emplace_back(
            name, std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count());
    };
    mark("main");
    static int argc = 1;
    static char name[] = "tavikwm";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    mark("toolkit");
    tavik::MainWindow window;
    mark("window");
    window.show();
    mark("shown");
    window.startInterpreter();
    waitUntil([&] { return window.inputRequestsOpened() > 0; });
    mark("prompt");
    window.consoleWidget().repaint();
    mark("painted");
    std::string line = "phases";
    for (const auto& [phase, at] : phases) line += std::string(" ") + phase + "=" + std::to_string(at);
    line += "\nready\n";
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
    std::_Exit(0);
}

struct ChildRun {
    double wall = 0; // to the "ready" line, or to the end when the child prints none
    double cpu = 0;  // user and system time of the whole child
    double started = 0;
    std::string output;
};

// Starts argv with the environment, reads its standard output to "ready" or to its end, and waits for it.
ChildRun runChild(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t pid = -1;
    const auto start = Clock::now();
    ChildRun run;
    run.started = std::chrono::duration<double, std::milli>(start.time_since_epoch()).count();
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (failed != 0) {
        close(out[0]);
        return run;
    }
    std::string seen;
    char buffer[256];
    for (;;) {
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        seen.append(buffer, static_cast<std::size_t>(n));
        if (seen.find("ready\n") != std::string::npos) break;
    }
    run.wall = msSince(start);
    run.output = seen;
    close(out[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    return run;
}

void benchStartup(const char* self, const char* tavikwm, const QTemporaryDir& dir) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "XDG_RUNTIME_DIR=", 16) != 0) env.emplace_back(*e);
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) env.emplace_back("QT_QPA_PLATFORM=offscreen");
    // Its own runtime directory: a tavikWM the user has open must not answer for it.
    env.push_back("XDG_RUNTIME_DIR=" + dir.path().toStdString());

    std::vector<double> wall, cpu;
    // Where the time goes: from the spawn to each phase of the child.
    std::map<std::string, std::vector<double>> phases;
    std::vector<std::string> order;
    for (int i = 0; i < 9; ++i) {
        const ChildRun run = runChild({self, "--startup-child"}, env);
        wall.push_back(run.wall);
        cpu.push_back(run.cpu);
        std::istringstream words(run.output.substr(0, run.output.find('\n')));
        std::string word;
        while (words >> word) {
            const std::size_t eq = word.find('=');
            if (eq == std::string::npos) continue;
            const std::string phase = word.substr(0, eq);
            if (phases.count(phase) == 0) order.push_back(phase);
            phases[phase].push_back(std::stod(word.substr(eq + 1)) - run.started);
        }
    }
    const Spread w = spread(wall);
    const Spread c = spread(cpu);
    std::printf(
        "startup  window up showing OK: median %.1f ms (min %.1f, max %.1f), CPU %.1f ms  goal < 300 ms\n",
        w.median, w.minimum, w.maximum, c.median);
    std::printf("         phases (median ms after the spawn):");
    for (const std::string& phase : order)
        std::printf(" %s %.1f", phase.c_str(), spread(phases[phase]).median);
    std::printf("\n");

    if (tavikwm == nullptr) return;
    const std::string exitFile = dir.filePath(QStringLiteral("EXIT.TK")).toStdString();
    {
        std::ofstream out(exitFile, std::ios::binary);
        out << "10 exit\r\n";
    }
    wall.clear();
    cpu.clear();
    for (int i = 0; i < 9; ++i) {
        const ChildRun run = runChild({tavikwm, exitFile}, env);
        wall.push_back(run.wall);
        cpu.push_back(run.cpu);
    }
    const Spread t = spread(wall);
    const Spread tc = spread(cpu);
    std::printf(
        "startup  tavikwm FILE that exits at once: start to end median %.1f ms (min %.1f), CPU %.1f ms\n",
        t.median, t.minimum, tc.median);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--startup-child") == 0) return startupChild();
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const char* only = nullptr;
    const char* tavikwm = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            only = argv[++i];
        else
            tavikwm = argv[i];
    }
    auto wanted = [&](const char* part) { return only == nullptr || std::strcmp(only, part) == 0; };
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QTemporaryDir dir;
    if (wanted("repaint")) benchRepaint();
    if (wanted("print")) benchPrinting(dir);
    if (wanted("startup")) benchStartup(argv[0], tavikwm, dir);
    return 0;
}
