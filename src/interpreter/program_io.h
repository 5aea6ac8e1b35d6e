#pragma once
// Where listed text goes and where program lines come from: program files on disk, or a test's memory.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tavik {

class OutputStream {
  public:
    virtual ~OutputStream() = default;
    // Writes the units; false when not all of them were written.
    virtual bool write(const char16_t* units, std::size_t count) = 0;
};

class LineSource {
  public:
    virtual ~LineSource() = default;
    // Reads like fgetws: at most capacity - 1 units, up to and including an LF, then a 0 unit.
    // False at the end of the input or on a read error, with nothing read.
    virtual bool readLine(char16_t* buffer, int capacity) = 0;
};

// The longest file name a program may give (units, without the terminator).
constexpr std::size_t MAX_FILE_NAME_UNITS = 259;

std::filesystem::path pathFromUnits(const char16_t* name);
std::u16string utf16FromUtf8(const std::string& text);
std::string utf8FromUtf16(const char16_t* text, std::size_t count);

} // namespace tavik
