#pragma once
// What the console was given to print, as it was given: characters, the new lines asked for (a wrap at the
// right edge is not one), tabs as the blanks they stand for, backspaces. The batch console writes it to
// standard output; the hosts that show the screen itself need none and give none.

namespace tavik {

class ConsoleTranscript {
  public:
    virtual ~ConsoleTranscript() = default;

    virtual void transcriptChar(char16_t c) = 0;
    virtual void transcriptNewLine() = 0;
    virtual void transcriptTab(int fromColumn, int toColumn) = 0;
    virtual void transcriptBackspace() = 0;
};

} // namespace tavik
