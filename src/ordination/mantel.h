#pragma once
// The Mantel test: the correlation between the upper triangles of two
// distance tables on the same strains, and its permutation test.
//
// Table B is brought to the order of table A's names. The observed r is
// Pearson's correlation of the two triangles, or Spearman's (Pearson's on
// their ranks, ties taking the mean rank). Each permutation reorders the
// rows and columns of table A together; p = (1 + the number of permutations
// whose r >= r observed - sqrt(DBL_EPSILON)) / (1 + permutations), the
// tolerance keeping permutations that only round differently from the
// observed order on the side of "as large".
//
// Permutation number q (1, 2, ...) is a Fisher-Yates shuffle of the strains
// 0..n-1 (for i from n-1 down to 1, swap i with a position j drawn from
// 0..i) driven by std::mt19937 initialised by std::seed_seq{seed, q}; j is
// the generator's output v modulo i + 1, outputs v >= 2^32 - (2^32 mod
// (i + 1)) being drawn again. Every permutation is thus fixed by the seed
// and its number alone, whatever the number of threads.
#include <cstddef>
#include <cstdint>
#include <functional>

#include "ordination/tablecheck.h"

namespace lorvane {

enum class Correlation { pearson, spearman };

struct MantelOptions {
  int permutations = 999;
  Correlation method = Correlation::pearson;
  std::uint32_t seed = 0;
  int threads = 1;
  // Called on the calling thread now and then (after blocks of
  // permutations, and once at the end) with the number done and the number
  // asked for. It may throw to stop the test: the other threads end their
  // permutation under way and are joined, then the exception goes on.
  std::function<void(int done, int total)> progress = {};
  // A share of the test: permutations first .. first + count - 1 only
  // (count < 0: all of them); `aslarge` then counts those alone, and the
  // progress goes to `count`.
  int first = 1;
  int count = -1;
};

struct MantelResult {
  std::size_t strains = 0;
  double r = 0;
  double p = 1;           // 1 when no permutation was made
  int permutations = 0;
  int aslarge = 0;        // permutations with r at least the observed one
  std::uint32_t seed = 0;
};

// Raises an error stop when a table is not a distance table, the names of
// the two differ (or repeat), there are fewer than 3 strains, a table's
// triangle has no variance, or the number of permutations is negative.
MantelResult mantel(const TableRef& a, const TableRef& b, const MantelOptions& options);

// Permutation number `q` of n strains drawn from `seed`, as described above.
void mantelpermutation(std::uint32_t seed, std::uint32_t q, std::uint32_t* order, std::size_t n);

}  // namespace lorvane
