// Character output: lines written to a full console, so that every line scrolls it.
#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace tavik::bench {
namespace {

void BM_WriteTextScrolling(benchmark::State& state) {
    auto view = std::make_unique<NullView>();
    auto console = std::make_unique<Console>(*view);
    console->resetConsole();
    const std::u16string line = u"Line 12345\n";
    for (int i = 0; i < 100; ++i) console->putString(line.c_str()); // the screen is full from here on
    for (auto _ : state) console->putString(line.c_str());
    state.SetItemsProcessed(state.iterations());
    state.counters["columns"] = console->screen().columns;
    state.counters["rows"] = console->screen().rows;
}
BENCHMARK(BM_WriteTextScrolling);

// The same line written where the screen has room, with no scrolling: what a character costs by itself.
void BM_WriteTextNoScroll(benchmark::State& state) {
    auto view = std::make_unique<NullView>();
    auto console = std::make_unique<Console>(*view);
    console->resetConsole();
    const std::u16string line = u"Line 12345";
    for (auto _ : state) {
        console->setCursor(0, 0);
        console->putString(line.c_str());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteTextNoScroll);

} // namespace
} // namespace tavik::bench
