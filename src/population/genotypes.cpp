#include "population/genotypes.h"

#include <map>
#include <set>
#include <utility>

namespace lorvane {

namespace {

// The strains agree on every band scored in both.
bool alike(const BandData& d, int i, int j) {
  const std::uint64_t* x = d.bits.row(i);
  const std::uint64_t* y = d.bits.row(j);
  const std::uint64_t* s = d.hasmissing() ? d.scored.row(i) : nullptr;
  const std::uint64_t* t = d.hasmissing() ? d.scored.row(j) : nullptr;
  for (std::size_t w = 0; w < d.bits.words(); ++w)
    if ((x[w] ^ y[w]) & (s ? s[w] & t[w] : ~std::uint64_t{0})) return false;
  return true;
}

}  // namespace

std::vector<int> genotypes(const BandData& d) {
  std::vector<int> first;  // the first strain of each genotype
  std::vector<int> genotype(static_cast<std::size_t>(d.n), 0);
  for (int i = 0; i < d.n; ++i) {
    int g = 0;
    while (g < static_cast<int>(first.size()) && !alike(d, first[static_cast<std::size_t>(g)], i)) ++g;
    if (g == static_cast<int>(first.size())) first.push_back(i);
    genotype[static_cast<std::size_t>(i)] = g + 1;
  }
  return genotype;
}

std::vector<std::pair<std::string, int>> genotypesper(const std::vector<int>& genotype,
                                                      const std::vector<std::string>& labels) {
  std::vector<std::pair<std::string, int>> out;
  std::map<std::string, std::size_t> index;
  std::set<std::pair<std::string, int>> seen;
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const auto [it, fresh] = index.emplace(labels[i], out.size());
    if (fresh) out.emplace_back(labels[i], 0);
    if (seen.emplace(labels[i], genotype[i]).second) ++out[it->second].second;
  }
  return out;
}

std::vector<int> clonecorrected(const std::vector<int>& genotype, const std::vector<std::string>& labels) {
  std::vector<int> kept;
  std::set<std::pair<std::string, int>> seen;
  for (std::size_t i = 0; i < labels.size(); ++i)
    if (seen.emplace(labels[i], genotype[i]).second) kept.push_back(static_cast<int>(i));
  return kept;
}

}  // namespace lorvane
