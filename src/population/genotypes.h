#pragma once
// Multilocus genotypes and clone correction.
//
// Strains of identical band patterns form one genotype. With missing
// scores, strains are taken in their order: a strain joins the first
// genotype, in the order of the genotypes, whose first strain has the same
// score on every band scored in both; otherwise it starts a new genotype.
// Genotypes are numbered 1, 2, ... in the order of their first strain.
#include <string>
#include <vector>

#include "aflp/bands.h"

namespace lorvane {

// Per strain (0-based) its genotype number.
std::vector<int> genotypes(const BandData& d);
// The number of genotypes among the strains of each label, in the order of
// the labels' first appearance; with the labels in that order.
std::vector<std::pair<std::string, int>> genotypesper(const std::vector<int>& genotype,
                                                      const std::vector<std::string>& labels);
// Clone correction: the strains kept (0-based, ascending), the first strain
// of each genotype within each label.
std::vector<int> clonecorrected(const std::vector<int>& genotype, const std::vector<std::string>& labels);

}  // namespace lorvane
