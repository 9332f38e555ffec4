// Throughput of the BERT checker and cost of building the pattern.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "engine/BertChecker.h"
#include "engine/BertPattern.h"

namespace {

using namespace kvartix;

// A stream of the 512-byte pattern with a share of its bytes corrupted.
std::vector<std::uint8_t> Stream(const BertPattern& p, double errorRate) {
    std::vector<std::uint8_t> s(1 << 22);
    std::mt19937 rng(5);
    std::bernoulli_distribution hit(errorRate);
    for (std::size_t i = 0; i < s.size(); ++i) {
        s[i] = *p.At(static_cast<std::int32_t>(i & 511));
        if (errorRate > 0 && hit(rng)) s[i] ^= 0x5A;
    }
    return s;
}

void CheckStream(benchmark::State& state, double errorRate) {
    BertPattern pattern;
    Random rng;
    BuildBertPattern(pattern, 512, 0xFF, 0, rng);
    const auto stream = Stream(pattern, errorRate);
    BertChecker checker;
    bool firstData = true;
    std::int64_t errors = 0;
    for (auto _ : state) {
        BertCycleFlags flags;
        checker.Check(stream.data(), stream.size(), pattern.At(0), 511, 0xFF, firstData, errors,
                      flags);
        benchmark::DoNotOptimize(errors);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}

void BM_CheckerClean(benchmark::State& state) { CheckStream(state, 0); }
void BM_CheckerErrors1e3(benchmark::State& state) { CheckStream(state, 1e-3); }

void BM_BuildBertPattern(benchmark::State& state) {
    BertPattern pattern;
    Random rng;
    for (auto _ : state) {
        BuildBertPattern(pattern, static_cast<std::int32_t>(state.range(0)), 0xFF, 0, rng);
        benchmark::DoNotOptimize(*pattern.At(0));
    }
}

}  // namespace

BENCHMARK(BM_CheckerClean);
BENCHMARK(BM_CheckerErrors1e3);
BENCHMARK(BM_BuildBertPattern)->Arg(8)->Arg(512)->Arg(2048);
BENCHMARK_MAIN();
