// evalExpression straight from token bytes: the short expressions of most statements and a deeply nested one.
#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace tavik::bench {
namespace {

void evaluate(benchmark::State& state, const std::string& text) {
    auto m = std::make_unique<Machine>();
    InterpreterPeer peer{m->interp};
    for (int v = 0; v < 26; ++v) peer.globalVars[v] = static_cast<std::int16_t>(v + 3);
    std::vector<std::uint8_t> line = tokens(text);
    if (line.empty()) {
        state.SkipWithError("the expression does not tokenise");
        return;
    }
    for (auto _ : state) {
        peer.readPtr = line.data();
        benchmark::DoNotOptimize(peer.evalExpression());
    }
    if (peer.errorFlag) state.SkipWithError("the expression failed");
}

void BM_EvalSimple(benchmark::State& state) {
    evaluate(state, "S+I");
}
BENCHMARK(BM_EvalSimple);

void BM_EvalLoneFactor(benchmark::State& state) {
    evaluate(state, "1000");
}
BENCHMARK(BM_EvalLoneFactor);

void BM_EvalNested(benchmark::State& state) {
    evaluate(state, "((A+B)*(C-D)/(E+1)-(F*2+G))<>H and (I>=J or not (K<L)) xor -(((M)))");
}
BENCHMARK(BM_EvalNested);

} // namespace
} // namespace tavik::bench
