// The program store: typing in a 1,000-line program line by line, and listing it.
#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

namespace tavik::bench {
namespace {

constexpr int LINES = 1000;

std::vector<std::vector<std::uint8_t>> programLines() {
    std::vector<std::vector<std::uint8_t>> lines;
    for (int n = 1; n <= LINES; ++n)
        lines.push_back(tokens(std::to_string(n * 10) + " if A<" + std::to_string(n) +
                               " then print \"Line\";A*2+B:A=A+1"));
    return lines;
}

void storeAll(Interpreter& in, const std::vector<std::vector<std::uint8_t>>& lines) {
    InterpreterPeer peer{in};
    for (const auto& line : lines) {
        std::memcpy(peer.lineBuffer, line.data(), LINE_BUFFER_BYTES);
        peer.storeLine();
    }
}

void BM_StoreLine1000(benchmark::State& state) {
    auto m = std::make_unique<Machine>();
    InterpreterPeer peer{m->interp};
    const auto lines = programLines();
    for (auto _ : state) {
        peer.program.clear();
        storeAll(m->interp, lines);
        benchmark::DoNotOptimize(peer.program.area);
    }
    if (peer.errorFlag) state.SkipWithError("a line was refused");
    state.SetItemsProcessed(state.iterations() * LINES);
}
BENCHMARK(BM_StoreLine1000)->Unit(benchmark::kMicrosecond);

void BM_ListLines1000(benchmark::State& state) {
    auto m = std::make_unique<Machine>();
    InterpreterPeer peer{m->interp};
    storeAll(m->interp, programLines());
    NullStream out;
    for (auto _ : state) benchmark::DoNotOptimize(peer.listLines(&out, 0, 65535));
    state.SetItemsProcessed(state.iterations() * LINES);
    state.SetBytesProcessed(static_cast<std::int64_t>(out.units * sizeof(char16_t)));
}
BENCHMARK(BM_ListLines1000)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tavik::bench
