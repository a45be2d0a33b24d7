// Micro-benchmarks of the pair-count kernels: pair-words per second (one
// 64-bit word of one pair of strains: an AND and a popcount), next to the
// bare popcount loop over the same memory with the same instructions.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "aflp/bitmatrix.h"
#include "aflp/paircount.h"
#include "core/computesettings.h"

namespace {

using lorvane::BitMatrix;
using lorvane::PairKernel;

// n strains of m bands, 30% present, the same on every run.
BitMatrix strains(int n, int m) {
  BitMatrix x(n, m);
  std::mt19937_64 random(2026);
  for (int i = 0; i < n; ++i)
    for (int q = 0; q < m; ++q)
      if (random() % 10 < 3) x.set(i, q);
  return x;
}

// The kernel on n strains against themselves (one thread).
void pairkernel(benchmark::State& state, const PairKernel* kernel, int n, int m) {
  const BitMatrix x = strains(n, m);
  const std::size_t ld = static_cast<std::size_t>(x.paddedrows());
  std::vector<std::int64_t> out(ld * ld);
  for (auto _ : state) {
    kernel->count(x.data(), x.stride(), x.words(), 0, x.paddedrows(), 0, x.paddedrows(), nullptr, 0, out.data(),
                  ld);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  const double pairwords = static_cast<double>(ld) * static_cast<double>(ld) * static_cast<double>(x.words());
  state.counters["pair-words/s"] =
      benchmark::Counter(pairwords * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The same from transposed column panels (short rows).
void pairkernelcolumns(benchmark::State& state, const PairKernel* kernel, int n, int m) {
  const BitMatrix x = strains(n, m);
  const std::vector<std::uint64_t> columns = lorvane::transposecolumns(x);
  const std::size_t ld = static_cast<std::size_t>(x.paddedrows());
  std::vector<std::int64_t> out(ld * ld);
  for (auto _ : state) {
    kernel->countcolumns(x.data(), x.stride(), x.words(), columns.data(), 0, x.paddedrows(), 0, x.paddedrows(),
                         nullptr, 0, out.data(), ld);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  const double pairwords = static_cast<double>(ld) * static_cast<double>(ld) * static_cast<double>(x.words());
  state.counters["pair-words/s"] =
      benchmark::Counter(pairwords * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The bare popcount loop over the same matrix (one thread).
void barepopcount(benchmark::State& state, const PairKernel* kernel, int n, int m) {
  const BitMatrix x = strains(n, m);
  const std::size_t words = static_cast<std::size_t>(x.paddedrows()) * x.stride();
  for (auto _ : state) benchmark::DoNotOptimize(kernel->total(x.data(), words));
  state.counters["words/s"] = benchmark::Counter(static_cast<double>(words) * static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}

// The upper triangle of a W2-sized table by row blocks over every thread.
void upperthreads(benchmark::State& state, int n, int m) {
  const BitMatrix x = strains(n, m);
  const lorvane::ComputeSettings settings;
  lorvane::PairCounter counter(x, nullptr, 0, lorvane::pairkernel(settings.kernel), settings.threadcount());
  const int block = settings.rowsperblock(n);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (int r0 = 0; r0 < n; r0 += block) counter.count(r0, std::min(n, r0 + block), r0, n, true);
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  const double pairwords = static_cast<double>(n) * (n - 1) / 2 * static_cast<double>(x.words());
  state.counters["pair-words/s"] =
      benchmark::Counter(pairwords * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["threads"] = settings.threadcount();
}

const int registered = [] {
  for (const PairKernel& k : lorvane::availablekernels()) {
    for (auto [n, m] : {std::pair{512, 1000}, std::pair{512, 10000}}) {
      const std::string shape = "/n:" + std::to_string(n) + "/m:" + std::to_string(m);
      benchmark::RegisterBenchmark(("pairkernel/" + std::string(k.name) + shape).c_str(), pairkernel, &k, n, m);
      if (k.countcolumns)
        benchmark::RegisterBenchmark(("pairkernel-columns/" + std::string(k.name) + shape).c_str(),
                                     pairkernelcolumns, &k, n, m);
      benchmark::RegisterBenchmark(("barepopcount/" + std::string(k.name) + shape).c_str(), barepopcount, &k, n,
                                   m);
    }
  }
  benchmark::RegisterBenchmark("upperthreads/n:5000/m:10000", upperthreads, 5000, 10000)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime();
  return 0;
}();

}  // namespace

BENCHMARK_MAIN();
