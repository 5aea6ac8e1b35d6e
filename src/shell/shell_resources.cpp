#include "shell_resources.h"

#include "handoff.h"
#include "interpreter.h"

namespace tavik {

std::u16string aboutVersionText() {
    return std::u16string(u"tavikWM Version ") + VERSION_TEXT;
}

std::optional<std::u16string> fileCommandLine(std::u16string_view verb, std::u16string_view path) {
    for (const char16_t unit : path)
        if (unit == u'"' || unit < 0x20) return std::nullopt;
    std::u16string line;
    line.reserve(verb.size() + path.size() + 5);
    line += u'\f';
    line += verb;
    line += u" \"";
    line += path;
    line += u"\"\r";
    return line;
}

std::optional<std::u16string> renumberCommandLine(std::u16string_view arguments) {
    if (arguments.size() > 32) return std::nullopt;
    bool any = false;
    for (const char16_t unit : arguments) {
        if (unit != u',' && unit != u' ' && (unit < u'0' || unit > u'9')) return std::nullopt;
        any = any || unit != u' ';
    }
    std::u16string line = u"\frenum";
    if (any) {
        line += u' ';
        line += arguments;
    }
    line += u'\r';
    return line;
}

std::u16string unquotableNameText(std::u16string_view path) {
    return u"A file name with a quotation mark or a control character cannot be typed as a command line:\n" +
           std::u16string(path);
}

std::u16string pathTooLongText(std::u16string_view path) {
    std::u16string text = u"The path is too long for a command line (at most ";
    for (const char c : std::to_string(PENDING_INPUT_UNITS)) text += static_cast<char16_t>(c);
    text += u" characters with the command):\n";
    text += path;
    return text;
}

std::optional<std::u16string> typeCommandLine(InputHandoff& handoff, std::u16string_view line) {
    if (handoff.typeForUser(line) == TypeResult::Accepted) return std::nullopt;
    return std::u16string(NOT_ONE_LINE_TEXT);
}

std::optional<std::u16string> typeFileCommand(InputHandoff& handoff, std::u16string_view verb,
                                              std::u16string_view path) {
    const std::optional<std::u16string> line = fileCommandLine(verb, path);
    if (!line) return unquotableNameText(path);
    if (handoff.typeForUser(*line) == TypeResult::TooLong) return pathTooLongText(path);
    return std::nullopt;
}

} // namespace tavik
