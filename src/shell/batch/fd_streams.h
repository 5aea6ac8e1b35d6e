#pragma once
// The batch console's standard input and output as stream buffers over their file descriptors, so that a
// signal (Ctrl-C at the terminal) neither loses output nor reads as the end of the input.
#include <streambuf>

namespace tavik {

// Reads a file descriptor directly, so that a read cut short by a signal (Ctrl-C at the terminal) is told
// apart from the end of the input: both look like "no more characters" to the stream, but only the end is
// final (atEnd).
class FdInputBuffer : public std::streambuf {
  public:
    explicit FdInputBuffer(int fd) : fd_(fd) {}
    bool atEnd() const { return ended_; }
    // True when a read would not wait: input (or its end) has arrived.
    bool readable() const;

  protected:
    int_type underflow() override;

  private:
    int fd_;
    bool ended_ = false;
    char buffer_[1 << 16];
};

// Writes a file descriptor directly, retrying writes that a signal interrupted, so that no output is lost
// when Ctrl-C arrives in the middle of a write. Unbuffered: BatchView does the buffering.
class FdOutputBuffer : public std::streambuf {
  public:
    explicit FdOutputBuffer(int fd) : fd_(fd) {}
    // The errno of the write that failed, or 0.
    int error() const { return error_; }

  protected:
    std::streamsize xsputn(const char* data, std::streamsize count) override;
    int_type overflow(int_type c) override;

  private:
    int fd_;
    int error_ = 0;
};

} // namespace tavik
