#pragma once
// The permutation tests of the population analyses, as ade4's
// randtest.amova defines them for the AMOVA:
//   - within populations: the strains permuted across all populations
//     (the populations keep their sizes); the component counts when it is
//     at most the observed one;
//   - among populations within regions: the strains permuted among the
//     populations of their region; at least the observed one;
//   - among regions: whole populations permuted among the regions (each
//     region keeps its number of populations); at least the observed one;
//   - one level: the strains permuted across all populations, for both
//     components.
// Pairwise ΦPT: the strains of the two populations permuted between them;
// ΦPT at least the observed one.
//
// Every permutation is a Fisher-Yates shuffle of the Mantel test
// (mantelpermutation: std::mt19937 seeded with std::seed_seq{seed, q}), so
// it depends on the seed and its number q alone. With two levels,
// permutation q of the three tests is number 3q - 2, 3q - 1 and 3q (the
// regions' strains permuted among their populations in the order that
// shuffle of all strains gives them; the populations of test 3 shuffled
// themselves); with one level, and for every pair of ΦPT, it is number q
// (the pair's strains in the order the shuffle of all strains gives them).
// A permuted value is compared with the observed one computed by the same
// code from the same single-precision δ², within 1e-9 of the sum of the
// observed components' magnitudes (of 1 for ΦPT), so that a permutation
// that only regroups equal sums counts as as extreme.
#include <cstdint>
#include <functional>
#include <vector>

#include "population/amova.h"
#include "population/deltas.h"

namespace lorvane {

struct PermutationOptions {
  int permutations = 999;
  std::uint32_t seed = 0;
  int threads = 1;
  // A share of the tests: permutations first .. first + count - 1 only
  // (count < 0: all of them).
  int first = 1;
  int count = -1;
  // Called on the calling thread now and then with the number done and the
  // number asked for; it may throw to stop the tests.
  std::function<void(int done, int total)> progress = {};
};

// Per row of the AMOVA table (top level first, within populations last,
// no total): the permutations whose component is as extreme as observed.
std::vector<long long> amovatests(const DeltaHalf& delta, const Design& design, const PermutationOptions& options);

// Per pair of populations (p, q), p < q, at p * P + q: the permutations
// whose ΦPT is at least the observed one.
std::vector<long long> phipttests(const DeltaHalf& delta, const Design& design, const PermutationOptions& options);

// ΦPT of two populations of n1 and n2 strains from the sums of δ² within
// each (w1, w2) and over all their pairs (total); NaN without variation or
// with two strains in all.
double pairphi(double w1, double w2, double total, int n1, int n2);

// Permutations first .. first + count - 1 on the threads, a batch at a time:
// each thread takes its tally from `make` (its scratch inside) and calls it
// with the permutation number and its own counts; the counts of the threads
// are added at the end, so they do not depend on the number of threads. A
// stop asked for (interrupt.h) ends the run within a batch.
using Tally = std::function<void(std::uint32_t q, long long* counts)>;
std::vector<long long> permute(const PermutationOptions& options, std::size_t statistics,
                               const std::function<Tally()>& make);

}  // namespace lorvane
