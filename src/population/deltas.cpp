#include "population/deltas.h"

#include <algorithm>
#include <cstdint>

#include "aflp/paircount.h"
#include "core/interrupt.h"
#include "core/threadpool.h"

namespace lorvane {

DeltaHalf banddeltas(const BandData& d, const ComputeSettings& settings) {
  const int n = d.n, threads = settings.threadcount();
  DeltaHalf half(Triangle::cells(n));
  // With missing scores the kernel counts the bands that differ where both
  // strains are scored; otherwise the shared bands, and δ² = b_i + b_j - 2 a.
  PairCounter counter(d.bits, nullptr, 0, pairkernel(settings.kernel), threads, d.scoredbits());
  std::vector<std::int64_t> bands(static_cast<std::size_t>(n), 0);
  if (!d.hasmissing())
    for (int i = 0; i < n; ++i) bands[static_cast<std::size_t>(i)] = sharedcount(d.bits, i, i, nullptr, 0);
  constexpr int kBlock = 256;  // rows a block: a multiple of 4, as the counter takes them
  for (int r0 = 0; r0 < n; r0 += kBlock) {
    checkinterrupt();
    const int r1 = std::min(n, r0 + kBlock);
    counter.count(r0, r1, 0, r1, false);
    parallelfor(r1 - r0, threads, [&](int k) {
      const int i = r0 + k;
      float* row = half.data() + Triangle::row(i);
      const std::int64_t bi = bands[static_cast<std::size_t>(i)];
      for (int j = 0; j < i; ++j)
        row[j] = static_cast<float>(d.hasmissing() ? counter.at(i, j)
                                                   : bi + bands[static_cast<std::size_t>(j)] - 2 * counter.at(i, j));
    });
  }
  return half;
}

DeltaHalf singlehalf(std::span<const double> lower) {
  DeltaHalf half(lower.size());
  std::transform(lower.begin(), lower.end(), half.begin(), [](double v) { return static_cast<float>(v); });
  return half;
}

DesignSums designsums(std::span<const double> pairsums, const Design& design) {
  const auto p = static_cast<std::size_t>(design.populationcount());
  DesignSums s;
  s.within.assign(p, 0.0);
  s.regions.assign(static_cast<std::size_t>(design.regioncount()), 0.0);
  for (std::size_t a = 0; a < p; ++a) {
    s.within[a] = pairsums[a * p + a];
    for (std::size_t b = a; b < p; ++b) {
      const double v = pairsums[a * p + b];
      s.total += v;
      if (design.twolevels() && design.region[a] == design.region[b])
        s.regions[static_cast<std::size_t>(design.region[a])] += v;
    }
  }
  return s;
}

}  // namespace lorvane
