#pragma once
// The analysis of molecular variance (Excoffier, Smouse & Quattro 1992) of
// strains in populations, and optionally populations in regions, from the
// squared distances δ² of the pairs of strains.
//
// The sums of squares come from sums of δ² over the pairs of strains (each
// pair once): T over all pairs, R_r over the pairs of region r, W_p over the
// pairs of population p. With N strains, n_p in population p and N_r in
// region r:
//   SS total = T / N,  SS within populations = sum_p W_p / n_p,
//   SS within regions = sum_r R_r / N_r,
//   SS among regions = SS total - SS within regions,
//   SS among populations within regions = SS within regions - SS within populations.
// The variance components solve the expected mean squares with Excoffier's
// n coefficients (see nvalues below); Φ statistics are their ratios.
#include <span>
#include <string>
#include <vector>

#include "aflp/bands.h"

namespace lorvane {

// The strains' populations (and the populations' regions) of an analysis.
struct Design {
  std::string populationlevel, regionlevel;  // regionlevel empty: one level
  std::vector<std::string> populations, regions;  // names in order of first appearance
  std::vector<int> population;  // per strain (0-based)
  std::vector<int> region;      // per population; empty for one level
  std::vector<int> sizes;       // strains per population

  bool twolevels() const { return !region.empty(); }
  int strains() const { return static_cast<int>(population.size()); }
  int populationcount() const { return static_cast<int>(populations.size()); }
  int regioncount() const { return static_cast<int>(regions.size()); }
};

// The design of the levels `top` and `lower` of the groups (lower empty:
// one level); error stop when a level is missing, a population lies in two
// regions, or there are too few groups or strains for the analysis (2
// populations or more, more strains than populations, and with regions 2
// regions or more and more populations than regions). `source` names where
// the groups came from.
Design makedesign(const Groups& groups, const std::string& top, const std::string& lower, const std::string& source);

// The sums of δ² a design's analysis reads.
struct DesignSums {
  double total = 0;
  std::vector<double> within;   // per population
  std::vector<double> regions;  // per region (two levels)
};

// One row of the analysis: a source of variation.
struct AmovaRow {
  std::string source;  // "Between Region", "Between Pop within Region", "Within Pop", "Total"
  int df = 0;
  double ss = 0, ms = 0, sigma2 = 0, percent = 0;
  double phi = 0;
  bool hasphi = false;
};

// The rows from the top level down, then the total; the statistics named
// as usual (Φ_CT, Φ_SC, Φ_ST; Φ_PT for one level).
struct AmovaTable {
  std::vector<AmovaRow> rows;
  std::vector<std::string> phinames;  // per row with a Φ
};

// The n coefficients of the expected mean squares: n (of σ²_b in the mean
// square among populations within regions, or among populations), and with
// regions n' (of σ²_b in the mean square among regions) and n'' (of σ²_a).
struct Coefficients {
  double n = 0, n1 = 0, n2 = 0;
};
Coefficients nvalues(std::span<const int> sizes, std::span<const int> region, int regions);

// The variance components (top level first, then within populations) of the
// sums, for populations of `sizes` in the regions `region` (empty: one level).
std::vector<double> components(const DesignSums& sums, std::span<const int> sizes, std::span<const int> region,
                               int regions);

// The whole table.
AmovaTable amovatable(const Design& design, const DesignSums& sums);

}  // namespace lorvane
