#pragma once
// The interpreter alone under a benchmark: the quiet machine of tests/support and the lines it is given.
#include "support/interpreter_peer.h"
#include "support/quiet_machine.h"
#include "tokenizer.h"

#include <string>
#include <vector>

namespace tavik::bench {

// The machine and the stream of the shared fakes, by the names the benchmarks use.
using NullView = test::QuietView;
using NullHost = test::QuietHost;
using NullStream = test::CountingStream;
using Machine = test::QuietMachine;

// A source line in the form the tokenizer takes: UTF-16, 0-terminated.
inline std::u16string source(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

// The token bytes of a line, in a buffer as long as lineBuffer.
inline std::vector<std::uint8_t> tokens(const std::string& text) {
    std::vector<std::uint8_t> out(LINE_BUFFER_BYTES);
    const std::u16string s = source(text);
    if (!tokenizeLine(out.data(), s.c_str())) out.clear();
    return out;
}

} // namespace tavik::bench
