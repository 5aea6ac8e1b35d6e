#include "fd_streams.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace tavik {

FdInputBuffer::int_type FdInputBuffer::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (ended_) return traits_type::eof();
    const ssize_t got = ::read(fd_, buffer_, sizeof buffer_);
    if (got > 0) {
        setg(buffer_, buffer_, buffer_ + got);
        return traits_type::to_int_type(*gptr());
    }
    // EINTR: a signal cut the wait short; the input goes on, and the reader decides what the signal meant.
    if (got < 0 && errno == EINTR) return traits_type::eof();
    ended_ = true;
    return traits_type::eof();
}

bool FdInputBuffer::readable() const {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

std::streamsize FdOutputBuffer::xsputn(const char* data, std::streamsize count) {
    std::streamsize done = 0;
    while (done < count) {
        const ssize_t put = ::write(fd_, data + done, static_cast<std::size_t>(count - done));
        if (put < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            break;
        }
        done += put;
    }
    return done;
}

FdOutputBuffer::int_type FdOutputBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

} // namespace tavik
