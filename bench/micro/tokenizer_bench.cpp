// tokenizeLine on a line as typed every day and on the longest line the console delivers.
#include "bench_support.h"

#include <benchmark/benchmark.h>

namespace tavik::bench {
namespace {

void tokenize(benchmark::State& state, const std::string& text) {
    const std::u16string line = source(text);
    alignas(8) std::uint8_t out[LINE_BUFFER_BYTES];
    for (auto _ : state) {
        benchmark::DoNotOptimize(tokenizeLine(out, line.c_str()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * line.size() * sizeof(char16_t)));
}

void BM_TokenizeTypical(benchmark::State& state) {
    tokenize(state, "120 if A(I)>0 then print \"Found \";I:gosub 500");
}
BENCHMARK(BM_TokenizeTypical);

// 255 units, the longest a typed line or a program file's line can be: keywords, numbers, a string, a remark.
void BM_TokenizeLong(benchmark::State& state) {
    std::string text = "10 ";
    while (text.size() < 200) text += "for I=1 to 100 step 2:X=X+@(I)*0x1F:next:";
    text += "print \"done\":rem ";
    text.resize(255, 'x');
    tokenize(state, text);
}
BENCHMARK(BM_TokenizeLong);

} // namespace
} // namespace tavik::bench
