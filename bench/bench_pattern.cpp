// Throughput of the test-pattern generator and its checker, in characters a second: the
// fastest line the program drives carries 46 080 characters a second (460800 bit/s, 8-N-1).
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/PatternChecker.h"

namespace {

using namespace kvartix;

void BM_GeneratePrbs31(benchmark::State& state) {
    PatternGenerator g(LinePattern::Prbs31);
    std::vector<std::uint8_t> chars(60000);
    for (auto _ : state) {
        g.Fill(chars.data(), chars.size(), 8);
        benchmark::DoNotOptimize(chars.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * chars.size()));
}

void BM_CheckPrbs31(benchmark::State& state) {
    PatternGenerator g(LinePattern::Prbs31);
    std::vector<std::uint8_t> chars(1 << 20);
    g.Fill(chars.data(), chars.size(), 8);
    PatternChecker checker(LinePattern::Prbs31, 8);
    for (auto _ : state) {
        // Each pass starts the stream again: the checker loses its sync at the seam and finds
        // it again, as after a slip.
        checker.Check(chars.data(), chars.size());
        benchmark::DoNotOptimize(checker.Counts());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * chars.size()));
}

}  // namespace

BENCHMARK(BM_GeneratePrbs31);
BENCHMARK(BM_CheckPrbs31);
BENCHMARK_MAIN();
