#pragma once
// The squared distances δ² of the pairs of strains that the population
// analyses read: from band data, the bands scored in both strains whose
// scores differ (the squared Euclidean distance of the 0/1 profiles,
// b_i + b_j - 2 a for complete data); from a distance table, its values
// squared (or as they are, when the table holds δ² already).
#include <span>
#include <vector>

#include "aflp/bands.h"
#include "core/computesettings.h"
#include "core/lowerhalf.h"
#include "core/triangle.h"
#include "population/amova.h"

namespace lorvane {

// δ² of every pair in single precision, as the lower half of the table
// (core/triangle.h): what the permutations read, row by row. Counts of
// bands are exact (below 2^24).
using DeltaHalf = std::vector<float, UnsetAllocator<float>>;

// Of band data: the pair counts of blocks of rows on the threads.
DeltaHalf banddeltas(const BandData& d, const ComputeSettings& settings);
// Of a table of δ² in double precision.
DeltaHalf singlehalf(std::span<const double> lower);

// The sums of δ² over the pairs of each two populations, p x p in row
// order: (p, q) over the pairs of a strain of p and a strain of q, (p, p)
// over the pairs within p. Added up in row order, whatever the threads.
template <class Half>
std::vector<double> populationsums(const Half& lower, std::span<const int> population, int populations) {
  const auto p = static_cast<std::size_t>(populations);
  std::vector<double> sums(p * p, 0.0);
  const auto n = static_cast<int>(population.size());
  for (int i = 1; i < n; ++i) {
    double* row = sums.data() + static_cast<std::size_t>(population[static_cast<std::size_t>(i)]) * p;
    const std::size_t start = Triangle::row(i);
    for (int j = 0; j < i; ++j)
      row[population[static_cast<std::size_t>(j)]] += static_cast<double>(lower[start + static_cast<std::size_t>(j)]);
  }
  for (std::size_t a = 0; a < p; ++a)
    for (std::size_t b = a + 1; b < p; ++b) sums[a * p + b] = sums[b * p + a] = sums[a * p + b] + sums[b * p + a];
  return sums;
}

// The sums of a design from its populations' sums: total, within each
// population, within each region.
DesignSums designsums(std::span<const double> pairsums, const Design& design);

}  // namespace lorvane
