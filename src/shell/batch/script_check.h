#pragma once
// A script (tavikwm --batch FILE) checked before anything runs: its lines as the loader would take them, a
// first line "#!..." left out, and each line the loader would refuse reported with its place in the file.
#include "program_file.h"

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace tavik {

// A script's lines: a program file's, less a first line that begins with "#!" (after the mark, if any),
// which names the program that runs the script.
class ScriptSource final : public LineSource {
  public:
    explicit ScriptSource(std::string_view bytes);
    bool readLine(char16_t* buffer, int capacity) override;
    bool failed() const override;
    // How many lines of the file were left out before the first line read (0 or 1).
    std::size_t linesSkipped() const { return skipped_; }

  private:
    std::unique_ptr<ProgramFileReader> reader_;
    bool started_ = false;
    std::size_t skipped_ = 0;
};

// Checks a script as the loader would take it. Each line the loader would refuse (a syntax error, line
// number 0, a direct line that begins with a number) is written to err as "FILE:N: MESSAGE"; true when
// there is none.
// replaceControls: err is a terminal, and the line is shown without what would steer it (steersTerminal).
bool checkScript(std::string_view bytes, const std::string& file, std::ostream& err,
                 bool replaceControls = false);

// The largest script read: more is no program, and a device that never ends must not fill the memory.
constexpr std::size_t SCRIPT_MAX_BYTES = std::size_t{64} << 20;

} // namespace tavik
