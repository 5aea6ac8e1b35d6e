#include "script_check.h"

#include "batch_view.h"
#include "interpreter.h"
#include "program_io.h"
#include "utf8.h"

namespace tavik {

namespace {

constexpr char16_t LINE_FEED = 0x0A;
constexpr char16_t CARRIAGE_RETURN = 0x0D;

} // namespace

ScriptSource::ScriptSource(std::string_view bytes) : reader_(ProgramFileReader::fromBytes(bytes)) {}

bool ScriptSource::readLine(char16_t* buffer, int capacity) {
    if (!reader_->readLine(buffer, capacity)) return false;
    if (started_) return true;
    started_ = true;
    const char16_t* text = buffer[0] == 0xFEFF ? buffer + 1 : buffer;
    if (text[0] != u'#' || text[1] != u'!') return true;
    skipped_ = 1;
    // A long first line comes in several pieces: all of them go.
    for (std::size_t n = textLength(buffer); n == 0 || buffer[n - 1] != LINE_FEED; n = textLength(buffer))
        if (!reader_->readLine(buffer, capacity)) return false;
    return reader_->readLine(buffer, capacity);
}

bool ScriptSource::failed() const {
    return reader_->failed();
}

namespace {

// Why the loader would refuse a line, or nullptr; withText says whether the message shows the line.
const char* refusal(const char16_t* line, bool& withText) {
    alignas(8) std::uint8_t tokens[LINE_BUFFER_BYTES];
    withText = true;
    if (!tokenizeLine(tokens, line)) return "Syntax Error";
    if (tokens[0] == TOK_FILLER && tokens[1] == TOK_DECIMAL) {
        withText = false;
        return load16(tokens + 2) == 0 ? "Invalid Line Number 0" : nullptr;
    }
    // A direct line cannot begin with a number: an indented line number becomes one.
    const std::uint8_t* p = tokens;
    while (*p == 0x20 || *p == 0x09 || *p == TOK_FILLER) ++p;
    return *p == TOK_DECIMAL || *p == TOK_HEX ? "Syntax Error" : nullptr;
}

} // namespace

bool checkScript(std::string_view bytes, const std::string& file, std::ostream& err, bool replaceControls) {
    ScriptSource source(bytes);
    ProgramLineReader lines(source);
    char16_t line[PROGRAM_LINE_UNITS];
    bool ok = true;
    while (lines.next(line)) {
        bool withText = false;
        const char* problem = refusal(line, withText);
        if (!problem) continue;
        ok = false;
        err << file << ':' << lines.lineNumber() + source.linesSkipped() << ": " << problem;
        if (withText) {
            // The line as read: without the mark that opens a file and without its line end.
            const char16_t* text = line[0] == 0xFEFF ? line + 1 : line;
            std::size_t n = textLength(text);
            if (n > 0 && text[n - 1] == CARRIAGE_RETURN) --n;
            std::u16string shown(text, n);
            if (replaceControls)
                for (char16_t& u : shown)
                    if (steersTerminal(u)) u = static_cast<char16_t>(REPLACEMENT_CHARACTER);
            err << ": " << utf8FromUtf16(shown.data(), shown.size());
        }
        err << '\n';
    }
    return ok;
}

} // namespace tavik
