// The web page's host: the console, the hand-off and the interpreter on the page's one thread. The page's
// script (page.js) draws what this side marks as changed, delivers keys and soft keys through the exported
// functions below, and keeps the browser's folder; the interpreter runs under Asyncify and gives the
// browser its turn whenever it waits and every few milliseconds while it runs.
#include "console.h"
#include "handoff.h"
#include "interpreter.h"
#include "layout.h"
#include "machine.h"
#include "menu_controller.h"
#include "program_file.h"
#include "screen_text.h"
#include "shell_resources.h"

#include <emscripten.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

// --- the page's side, in page.js (Module.tavik) ---
EM_JS(void, pageMeasureFont, (int fontHeight, int* width, int* height), {
    const size = Module.tavik.measureFont(fontHeight);
    HEAP32[width >> 2] = size[0];
    HEAP32[height >> 2] = size[1];
});
EM_JS(void, pageScheduleFrame, (), { Module.tavik.scheduleFrame(); });
EM_JS(void, pageBeep, (), { Module.tavik.beep(); });
EM_JS(void, pageCaretTimer, (int run), { Module.tavik.caretTimer(run); });
EM_JS(void, pageScreenTurned, (), { Module.tavik.screenTurned(); });
EM_JS(void, pageSwitchedOff, (), { Module.tavik.switchedOff(); });
// The MENU's host: a message, the questions (answered later through tavik_answer), About, the clipboard
// and the page's own commands.
EM_JS(void, pageShowMessage, (const char* text), { Module.tavik.showMessage(UTF8ToString(text)); });
// save: 1 for a name to save under, 0 for a program to open.
EM_JS(void, pageAskFileName, (int command, int save), { Module.tavik.askFileName(command, save); });
EM_JS(void, pageAskRenumber, (int command, const char* question, const char* usual),
      { Module.tavik.askRenumber(command, UTF8ToString(question), UTF8ToString(usual)); });
EM_JS(void, pageShowAbout, (), { Module.tavik.showAbout(); });
EM_JS(void, pageReadClipboard, (), { Module.tavik.readClipboard(); });
EM_JS(void, pageCopyText, (const char* text), { Module.tavik.copyText(UTF8ToString(text)); });
EM_JS(void, pageHostCommand, (const char* key), { Module.tavik.hostCommand(UTF8ToString(key)); });
// Stores a saved file in the browser's folder and settles once the browser has it: 1 stored, 0 refused.
EM_ASYNC_JS(int, pageStoreFile, (const char* name, const std::uint8_t* bytes, int size),
            { return await Module.tavik.storeFile(UTF8ToString(name), HEAPU8.slice(bytes, bytes + size)); });
// Waits up to ms milliseconds for the browser's events; a key or a soft key that answers the computer ends
// the wait at once.
EM_ASYNC_JS(void, pageSleep, (int ms), { await Module.tavik.sleep(ms); });
// Gives the browser its turn: painting, keys, the soft keys. A yield in a running program does not wait
// for a timer's minimum delay.
EM_ASYNC_JS(void, pageYield, (), { await Module.tavik.yieldTurn(); });

namespace tavik {

namespace {

// The folder the browser keeps; programs name their files relative to it.
constexpr const char* FOLDER = "/tavik";
// The example programs built into the page.
constexpr const char* EXAMPLES = "/examples";
// A running program gives the browser its turn at least this often (milliseconds).
constexpr double YIELD_EVERY_MS = 12;

constexpr int TEXT_UNITS = 512;

std::string toUtf8(std::u16string_view text) {
    return utf8FromUtf16(text.data(), text.size());
}

// The menu's Exit and the end of the interpreter's loop: the computer is switched off.
void switchOff();

class PageHost final : public ConsoleView,
                       public WindowPort,
                       public ScreenPort,
                       public EventPump,
                       public FileWriteLayer,
                       public MenuHost {
  public:
    PageHost(int width, int height) : width_(width), height_(height) {}

    // --- ConsoleView: the page's screen is all client area; the soft keys stand below it ---
    int screenWidth() const override { return width_; }
    int screenHeight() const override { return height_; }
    PixelRect clientRect() const override { return {0, 0, width_, height_}; }
    CellSize measureFont(int fontHeight) override {
        int w = fontHeight;
        int h = fontHeight;
        pageMeasureFont(fontHeight, &w, &h);
        return {std::max(w, 1), std::max(h, 1)};
    }
    // A frame draws the console's damage.
    void damaged() override { pageScheduleFrame(); }
    void beep() override { pageBeep(); }
    void cursorMoved() override { pageScheduleFrame(); }

    // --- WindowPort: posts wait for the next turn of the page's events ---
    void postInputRequest(InputMode mode) override {
        posted_.push_back([this, mode] { handoff->handleInputRequest(mode); });
    }
    void postBreakChar() override {
        posted_.push_back([this] { handoff->handleChar(BREAK_CHAR); });
    }
    void postClose() override { pageSwitchedOff(); }
    void startCaretTimer() override { pageCaretTimer(1); }
    void stopCaretTimer() override { pageCaretTimer(0); }

    // --- ScreenPort (the size is ConsoleView's) ---
    void changeOrientation(int displayOrientation) override {
        const int smaller = std::min(width_, height_);
        const int larger = std::max(width_, height_);
        if (displayOrientation == 0) {
            resize(smaller, larger);
        } else if (displayOrientation == 1 || displayOrientation == 4) {
            resize(larger, smaller);
        }
    }
    void resize(int width, int height) {
        if (width == width_ && height == height_) return;
        width_ = width;
        height_ = height;
        // The grid keeps its cells and is centred anew on the turned screen.
        if (console != nullptr) console->damageAll();
        pageScheduleFrame();
        pageScreenTurned();
    }

    // --- EventPump ---
    void pumpEvents(int ms) override {
        deliverPosted();
        pageSleep(std::max(ms, 0));
        deliverPosted();
        lastYield_ = emscripten_get_now();
    }
    void deliverPosted() {
        while (!posted_.empty()) {
            auto next = std::move(posted_.front());
            posted_.pop_front();
            next();
        }
    }
    // A running program: the browser's turn comes every few milliseconds, not at every call.
    void maybeYield() {
        const double now = emscripten_get_now();
        if (now - lastYield_ < YIELD_EVERY_MS) return;
        deliverPosted();
        pageYield();
        deliverPosted();
        lastYield_ = emscripten_get_now();
    }

    // --- FileWriteLayer: a save counts once the browser's folder holds the file ---
    // The saved file goes into the browser's folder first, then takes the target's place here: a save the
    // browser refuses leaves both the folder and the file as they were. Only the folder lasts, so a name
    // outside it is refused rather than saved for this page's life alone.
    // The page's files live in memory until the browser's folder takes them (rename): there is no disk
    // for a file or a folder to be synced to.
    int flush(std::FILE* file) override { return std::fflush(file); }
    bool syncFolder(const std::filesystem::path&) override { return true; }
    bool rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
        std::error_code error;
        const std::filesystem::path target = std::filesystem::absolute(to, error).lexically_normal();
        if (error) return false;
        const std::filesystem::path relative = target.lexically_relative(FOLDER);
        if (relative.empty() || *relative.begin() == "..") return false;
        // The page's file system starts with the umask 0777, so the saved file came without any mode bits
        // and could not be read back; the browser's folder keeps no modes: every file is the user's.
        if (::chmod(from.c_str(), 0644) != 0) return false;
        std::FILE* file = std::fopen(from.c_str(), "rb");
        if (!file) return false;
        std::string bytes;
        char chunk[4096];
        std::size_t n = 0;
        while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
        const bool readWell = !std::ferror(file);
        std::fclose(file);
        if (!readWell) return false;
        if (pageStoreFile(relative.generic_string().c_str(),
                          reinterpret_cast<const std::uint8_t*>(bytes.data()),
                          static_cast<int>(bytes.size())) != 1)
            return false;
        return FileWriteLayer::rename(from, to);
    }

    // --- MenuHost: the page's boxes and questions; a question is answered after this call returns ---
    void showMessage(std::u16string_view message) override { pageShowMessage(toUtf8(message).c_str()); }
    void askFileName(int command, FileQuestion question) override {
        pageAskFileName(command, question == FileQuestion::SaveAs ? 1 : 0);
    }
    void askRenumber(int command, std::u16string_view usual) override {
        pageAskRenumber(command, toUtf8(RENUMBER_PROMPT).c_str(), toUtf8(usual).c_str());
    }
    void showAbout() override { pageShowAbout(); }
    void quit() override { switchOff(); }
    void readClipboard() override { pageReadClipboard(); }
    void putOnClipboard(std::u16string_view text) override { pageCopyText(toUtf8(text).c_str()); }
    void hostCommand(std::u16string_view key) override { pageHostCommand(toUtf8(key).c_str()); }

    Console* console = nullptr;
    InputHandoff* handoff = nullptr;

  private:
    int width_;
    int height_;
    std::deque<std::function<void()>> posted_;
    double lastYield_ = 0;
};

// The running program's hand-off, which also gives the page its turn while a program runs.
class PageHandoff final : public InputHandoff {
  public:
    PageHandoff(Console& console, PageHost& host) : InputHandoff(console, host, host, &host), host_(host) {}
    void yieldSlice() override { host_.maybeYield(); }

  private:
    PageHost& host_;
};

// The page's screen and the machine on it, by the names the exported functions use.
struct Page {
    Page(int width, int height)
        : host(width, height), machine(host, nullptr, host), console(machine.console),
          handoff(machine.keyboard), interpreter(machine.interpreter),
          commands(host, handoff, console, MENU_IN_PAGE, std::filesystem::path(EXAMPLES)) {
        host.console = &console;
        host.handoff = &handoff;
    }
    PageHost host;
    Machine<PageHandoff> machine;
    Console& console;
    PageHandoff& handoff;
    Interpreter& interpreter;
    MenuController commands;
};

Page* machine = nullptr;
bool switchedOff = false;

char16_t textBuffer[TEXT_UNITS] = {};
// What a row shows, cell by cell: the code, the glyph it is drawn with, fore and back (the caret's cell
// with its colours swapped), as 0x00BBGGRR.
std::array<std::uint32_t, GRID_CAPACITY * 4> rowCells{};
// The console's damage taken for the frame the page is drawing: the whole and the plane are reported with
// the layout, the rows as the page asks for each.
ScreenDamage frameDamage;
// The page's picture of the layout, refreshed by tavik_layout: the fields of TAVIK_PAGE_FRAME in order,
// then zeros.
std::array<std::int32_t, 32> layout{};
std::vector<std::uint8_t> planeRgba;
std::vector<std::uint8_t> programBytes;
std::string utf8Text;

void switchOff() {
    if (!machine || switchedOff) return;
    switchedOff = true;
    machine->handoff.shutdown();
}

} // namespace

} // namespace tavik

using namespace tavik;

// What the page reads of the model for a frame (tavik_layout), by name, in this order: the screen, the
// grid and its cells, the plane and its fit, the band, the cursor, what changed, the caret. The page
// receives the names at its start (tavik_frame_names) and reads the fields by them.
#define TAVIK_PAGE_FRAME(X)                                                                                  \
    X(screenWidth, h.screenWidth())                                                                          \
    X(screenHeight, h.screenHeight())                                                                        \
    X(columns, g.columns)                                                                                    \
    X(rows, g.rows)                                                                                          \
    X(cellWidth, g.cellWidth)                                                                                \
    X(cellHeight, g.cellHeight)                                                                              \
    X(fontHeight, g.fontHeight)                                                                              \
    X(firstTextRow, g.firstTextRow)                                                                          \
    X(gridLeft, g.grid.left)                                                                                 \
    X(gridTop, g.grid.top)                                                                                   \
    X(gridRight, g.grid.right)                                                                               \
    X(gridBottom, g.grid.bottom)                                                                             \
    X(planeExists, plane.exists)                                                                             \
    X(planeWidth, plane.width)                                                                               \
    X(planeHeight, plane.height)                                                                             \
    X(scaleX, g.fit.scaleX)                                                                                  \
    X(scaleY, g.fit.scaleY)                                                                                  \
    X(pictureLeft, g.fit.picture.left)                                                                       \
    X(pictureTop, g.fit.picture.top)                                                                         \
    X(bandLeft, g.band.left)                                                                                 \
    X(bandTop, g.band.top)                                                                                   \
    X(bandRight, g.band.right)                                                                               \
    X(bandBottom, g.band.bottom)                                                                             \
    X(cursorColumn, g.cursorColumn)                                                                          \
    X(cursorRow, g.cursorRow)                                                                                \
    X(allSpoiled, frameDamage.all)                                                                           \
    X(planeSpoiled, frameDamage.planeChanged())                                                              \
    X(caretColumn, c.caretColumn())                                                                          \
    X(caretRow, c.caretRow())                                                                                \
    X(caretOn, c.caretOn())

#define TAVIK_FRAME_COUNT(name, value) +1
static_assert(0 TAVIK_PAGE_FRAME(TAVIK_FRAME_COUNT) <= std::tuple_size_v<decltype(layout)>,
              "the page's frame has more fields than its picture holds");
#undef TAVIK_FRAME_COUNT

extern "C" {

// --- model, for drawing and for the screen's text mirror ---

EMSCRIPTEN_KEEPALIVE std::int32_t* tavik_layout() {
    if (!machine) return layout.data();
    Console& c = machine->console;
    std::lock_guard<std::recursive_mutex> hold(c.lock());
    frameDamage.add(c.takeDamage());
    const ConsoleGeometry g = c.geometry();
    const GraphicsPlane& plane = c.plane();
    PageHost& h = machine->host;
    std::size_t at = 0;
#define TAVIK_FRAME_VALUE(name, value) layout[at++] = static_cast<std::int32_t>(value);
    TAVIK_PAGE_FRAME(TAVIK_FRAME_VALUE)
#undef TAVIK_FRAME_VALUE
    frameDamage.all = false;
    frameDamage.planePixels = {};
    return layout.data();
}

// The names of the frame's fields, in the order tavik_layout gives them, separated by blanks.
EMSCRIPTEN_KEEPALIVE const char* tavik_frame_names() {
#define TAVIK_FRAME_NAME(name, value) #name " "
    return TAVIK_PAGE_FRAME(TAVIK_FRAME_NAME);
#undef TAVIK_FRAME_NAME
}

// 1 when the row changed since it was last taken.
EMSCRIPTEN_KEEPALIVE int tavik_take_row_spoiled(int row) {
    if (!machine || row < 0 || row >= GRID_CAPACITY) return 0;
    ScreenDamage::Span& span = frameDamage.rows[static_cast<std::size_t>(row)];
    const int was = span.empty() ? 0 : 1;
    span = {};
    return was;
}

EMSCRIPTEN_KEEPALIVE std::uint32_t* tavik_row(int row) {
    if (!machine) return rowCells.data();
    std::array<CellLook, GRID_CAPACITY> looks{};
    const int columns = machine->console.rowLook(row, looks.data());
    for (int column = 0; column < columns; ++column) {
        const CellLook& look = looks[static_cast<std::size_t>(column)];
        std::uint32_t* cell = &rowCells[static_cast<std::size_t>(column) * 4];
        cell[0] = look.code;
        cell[1] = look.glyph;
        cell[2] = look.fore;
        cell[3] = look.back;
    }
    return rowCells.data();
}

// The plane's pixels as RGBA, row by row.
EMSCRIPTEN_KEEPALIVE std::uint8_t* tavik_plane_rgba() {
    if (!machine) return nullptr;
    Console& c = machine->console;
    std::lock_guard<std::recursive_mutex> hold(c.lock());
    const GraphicsPlane& p = c.plane();
    planeRgba.resize(static_cast<std::size_t>(std::max(p.width, 1)) * std::max(p.height, 1) * 4);
    if (!p.exists) return planeRgba.data();
    std::size_t o = 0;
    for (const Colour colour : p.pixels) {
        planeRgba[o++] = static_cast<std::uint8_t>(redOf(colour));
        planeRgba[o++] = static_cast<std::uint8_t>(greenOf(colour));
        planeRgba[o++] = static_cast<std::uint8_t>(blueOf(colour));
        planeRgba[o++] = 255;
    }
    return planeRgba.data();
}

// --- keys, soft keys and menu commands ---

EMSCRIPTEN_KEEPALIVE void tavik_char(int unit) {
    if (machine && !switchedOff) machine->handoff.handleChar(static_cast<char16_t>(unit));
}
EMSCRIPTEN_KEEPALIVE void tavik_key_down(int virtualKey) {
    if (machine && !switchedOff) machine->handoff.handleKeyDown(virtualKey);
}
EMSCRIPTEN_KEEPALIVE void tavik_key_up(int virtualKey) {
    if (machine && !switchedOff) machine->handoff.handleKeyUp(virtualKey);
}
// A click or tap at (x, y) of the screen, in its pixels: the cell there becomes the cursor while a line is
// asked. 1 when it moved.
EMSCRIPTEN_KEEPALIVE int tavik_press(int x, int y) {
    if (!machine || switchedOff) return 0;
    const ConsoleGeometry g = machine->console.geometry();
    int column = 0, row = 0;
    if (!cellAtPixel(g.grid, g.cellWidth, g.cellHeight, g.columns, g.rows, x, y, column, row)) return 0;
    return machine->handoff.handleCellClick(column, row) ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE void tavik_focus_lost() {
    if (machine) machine->handoff.handleFocusLost();
}
// 1 while an input request is open (pasted text waits for one).
EMSCRIPTEN_KEEPALIVE int tavik_input_active() {
    return machine && !switchedOff && machine->handoff.inputActive() ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE void tavik_caret_tick() {
    if (machine && !switchedOff) machine->handoff.handleTimer();
}
EMSCRIPTEN_KEEPALIVE char16_t* tavik_text_buffer() {
    return textBuffer;
}
// The MENU as the page shows it, a line per entry: "level<TAB>command<TAB>kind<TAB>label", the kind
// "submenu" for an entry that opens the entries of the next level after it, "file" for one that asks for a
// file, else empty. Ready before the computer starts.
EMSCRIPTEN_KEEPALIVE const char* tavik_menu() {
    utf8Text.clear();
    const std::vector<MenuItem> items =
        machine ? machine->commands.items() : menuItems(MENU_IN_PAGE, exampleNames(EXAMPLES));
    for (const MenuItem& item : items)
        utf8Text += std::to_string(item.level) + "\t" + std::to_string(item.command) + "\t" +
                    (item.submenu    ? "submenu"
                     : item.asksFile ? "file"
                                     : "") +
                    "\t" + toUtf8(item.label) + "\n";
    return utf8Text.c_str();
}
// A MENU entry chosen: the command is carried out; what it asks comes back later as a call of the page's
// (Module.tavik), answered with tavik_answer.
EMSCRIPTEN_KEEPALIVE void tavik_command(int command) {
    if (machine && !switchedOff) machine->commands.run(command);
}
EMSCRIPTEN_KEEPALIVE void tavik_break() {
    if (machine && !switchedOff) machine->commands.run(CMD_BREAK);
}
// The answer to the command's question, in the buffer (length units): 1 when its command line was typed,
// 0 when it was refused (the page was shown why).
EMSCRIPTEN_KEEPALIVE int tavik_answer(int command, int length) {
    if (!machine || switchedOff) return 0;
    length = std::clamp(length, 0, TEXT_UNITS);
    return machine->commands.answer(command,
                                    std::u16string_view(textBuffer, static_cast<std::size_t>(length)))
               ? 1
               : 0;
}
// Loads the file named in the buffer as Open loads a chosen file: 1 when typed, 0 when refused.
EMSCRIPTEN_KEEPALIVE int tavik_open_file(int length) {
    return tavik_answer(CMD_OPEN, length);
}
// Types the text in the buffer (length units) as a command line: 1 when typed, 0 when refused.
EMSCRIPTEN_KEEPALIVE int tavik_type(int length) {
    if (!machine || switchedOff) return 0;
    length = std::clamp(length, 0, TEXT_UNITS);
    return machine->commands.type(std::u16string_view(textBuffer, static_cast<std::size_t>(length))) ? 1 : 0;
}
// Types clipboard text (length UTF-16 units at units) as the window's Paste does; a refused paste is shown.
EMSCRIPTEN_KEEPALIVE void tavik_paste(const char16_t* units, int length) {
    if (machine && !switchedOff && length > 0)
        machine->commands.paste(std::u16string_view(units, static_cast<std::size_t>(length)));
}
// The screen's text as Copy Screen takes it and the page's mirror shows it: a line per row.
EMSCRIPTEN_KEEPALIVE const char* tavik_screen_text() {
    utf8Text = machine ? toUtf8(screenText(machine->console)) : std::string();
    return utf8Text.c_str();
}
// The About box's lines and the soft keys' labels, a line each.
EMSCRIPTEN_KEEPALIVE const char* tavik_texts() {
    utf8Text = toUtf8(ABOUT_CAPTION) + "\n" + toUtf8(aboutVersionText()) + "\n" + toUtf8(ABOUT_NOTICE) +
               "\n" + toUtf8(BREAK_LABEL) + "\n" + toUtf8(MENU_LABEL) + "\n";
    return utf8Text.c_str();
}
// The program as SAVE would write it, for a link: tavik_program_file_size bytes at the address returned.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* tavik_program_file() {
    programBytes.clear();
    if (machine) {
        for (const char16_t unit : machine->interpreter.programFileText()) {
            programBytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
            programBytes.push_back(static_cast<std::uint8_t>(unit >> 8));
        }
    }
    return programBytes.data();
}
EMSCRIPTEN_KEEPALIVE int tavik_program_file_size() {
    return static_cast<int>(programBytes.size());
}
// The name the program was last loaded from or saved under, as UTF-8; "" when there is none.
EMSCRIPTEN_KEEPALIVE const char* tavik_current_file() {
    utf8Text = machine ? toUtf8(machine->interpreter.currentFile()) : std::string();
    return utf8Text.c_str();
}
// The page's window was resized by the user: portrait stays portrait unless a program turned it.
EMSCRIPTEN_KEEPALIVE void tavik_resize(int width, int height) {
    if (machine) machine->host.resize(width, height);
}
} // extern "C"

int main(int argc, char** argv) {
    int width = 480;
    int height = 640;
    if (argc >= 3) {
        width = std::clamp(std::atoi(argv[1]), 64, 4096);
        height = std::clamp(std::atoi(argv[2]), 64, 4096);
    }
    // As a desktop's: the files the programs make are readable.
    ::umask(022);
    std::error_code error;
    std::filesystem::create_directories(FOLDER, error);
    (void)::chdir(FOLDER);

    static Page m(width, height);
    machine = &m;
    FileWriteLayer::install(&m.host);
    m.machine.start();
    m.interpreter.interpreterLoop();
    // EXIT, or the menu's Exit: the screen goes dark and the page offers to start again.
    switchedOff = true;
    m.handoff.shutdown();
    pageSwitchedOff();
    return 0;
}
