#include "population/amova.h"

#include <map>

#include "banddata/prepare.h"
#include "core/messages.h"

namespace lorvane {

namespace {

// Index of each label in order of first appearance; the names in that order.
std::vector<int> numbered(const std::vector<std::string>& labels, std::vector<std::string>& names) {
  std::map<std::string, int> index;
  std::vector<int> out;
  for (const std::string& l : labels) {
    const auto [it, fresh] = index.emplace(l, static_cast<int>(names.size()));
    if (fresh) names.push_back(l);
    out.push_back(it->second);
  }
  return out;
}

[[noreturn]] void toofew(const std::string& what) { errorstop("Error: " + what + " (amova)"); }

}  // namespace

Design makedesign(const Groups& groups, const std::string& top, const std::string& lower, const std::string& source) {
  const std::size_t upper = levelindex(groups, top, source);
  const std::size_t bottom = lower.empty() ? upper : levelindex(groups, lower, source);
  Design d;
  d.populationlevel = groups.levels[bottom];
  d.population = numbered(groups.labels[bottom], d.populations);
  d.sizes.assign(d.populations.size(), 0);
  for (int p : d.population) ++d.sizes[static_cast<std::size_t>(p)];
  if (!lower.empty()) {
    if (upper == bottom) toofew("the two levels are both " + top);
    checknested(groups, upper, bottom, source);
    d.regionlevel = groups.levels[upper];
    const std::vector<int> strainregion = numbered(groups.labels[upper], d.regions);
    d.region.assign(d.populations.size(), 0);
    for (std::size_t i = 0; i < strainregion.size(); ++i)
      d.region[static_cast<std::size_t>(d.population[i])] = strainregion[i];
  }
  const int n = d.strains(), p = d.populationcount(), g = d.regioncount();
  if (p < 2) toofew("the " + d.populationlevel + " level has " + std::to_string(p) + " group: the analysis needs 2 or more");
  if (n <= p) toofew(std::to_string(n) + " strains in " + std::to_string(p) + " groups of " + d.populationlevel +
                     ": the analysis needs more strains than groups");
  if (d.twolevels() && g < 2)
    toofew("the " + d.regionlevel + " level has 1 group: the analysis needs 2 or more");
  if (d.twolevels() && p <= g)
    toofew(std::to_string(p) + " groups of " + d.populationlevel + " in " + std::to_string(g) + " groups of " +
           d.regionlevel + ": the analysis needs more of the first");
  return d;
}

Coefficients nvalues(std::span<const int> sizes, std::span<const int> region, int regions) {
  double total = 0, squares = 0;
  for (int s : sizes) {
    total += s;
    squares += static_cast<double>(s) * s;
  }
  const double p = static_cast<double>(sizes.size());
  Coefficients c;
  if (region.empty()) {
    c.n = (total - squares / total) / (p - 1);
    return c;
  }
  std::vector<double> strains(static_cast<std::size_t>(regions), 0.0), inner(static_cast<std::size_t>(regions), 0.0);
  for (std::size_t k = 0; k < sizes.size(); ++k) {
    strains[static_cast<std::size_t>(region[k])] += sizes[k];
    inner[static_cast<std::size_t>(region[k])] += static_cast<double>(sizes[k]) * sizes[k];
  }
  double withinregions = 0, regionsquares = 0;
  for (std::size_t r = 0; r < strains.size(); ++r) {
    withinregions += inner[r] / strains[r];
    regionsquares += strains[r] * strains[r];
  }
  const double g = regions;
  c.n = (total - withinregions) / (p - g);
  c.n1 = (withinregions - squares / total) / (g - 1);
  c.n2 = (total - regionsquares / total) / (g - 1);
  return c;
}

std::vector<double> components(const DesignSums& sums, std::span<const int> sizes, std::span<const int> region,
                               int regions) {
  double n = 0, within = 0;
  for (std::size_t k = 0; k < sizes.size(); ++k) {
    n += sizes[k];
    within += sums.within[k] / sizes[k];
  }
  const double p = static_cast<double>(sizes.size()), total = sums.total / n;
  const double mswithin = within / (n - p);
  const Coefficients c = nvalues(sizes, region, regions);
  if (region.empty()) return {((total - within) / (p - 1) - mswithin) / c.n, mswithin};
  std::vector<double> strains(static_cast<std::size_t>(regions), 0.0);
  for (std::size_t k = 0; k < sizes.size(); ++k) strains[static_cast<std::size_t>(region[k])] += sizes[k];
  double withinregions = 0;
  for (std::size_t r = 0; r < strains.size(); ++r) withinregions += sums.regions[r] / strains[r];
  const double g = regions;
  const double b = ((withinregions - within) / (p - g) - mswithin) / c.n;
  const double a = ((total - withinregions) / (g - 1) - mswithin - c.n1 * b) / c.n2;
  return {a, b, mswithin};
}

AmovaTable amovatable(const Design& d, const DesignSums& sums) {
  const int n = d.strains(), p = d.populationcount(), g = d.regioncount();
  double within = 0, withinregions = 0;
  for (int k = 0; k < p; ++k) within += sums.within[static_cast<std::size_t>(k)] / d.sizes[static_cast<std::size_t>(k)];
  std::vector<double> strains(static_cast<std::size_t>(g), 0.0);
  for (int k = 0; k < p && d.twolevels(); ++k)
    strains[static_cast<std::size_t>(d.region[static_cast<std::size_t>(k)])] += d.sizes[static_cast<std::size_t>(k)];
  for (int r = 0; r < g; ++r) withinregions += sums.regions[static_cast<std::size_t>(r)] / strains[static_cast<std::size_t>(r)];
  const double total = sums.total / n;
  const std::vector<double> sigma = components(sums, d.sizes, d.region, g);
  AmovaTable t;
  const std::string& pop = d.populationlevel;
  if (d.twolevels()) {
    const std::string& reg = d.regionlevel;
    t.rows = {{"Between " + reg, g - 1, total - withinregions},
              {"Between " + pop + " within " + reg, p - g, withinregions - within},
              {"Within " + pop, n - p, within}};
    t.phinames = {"Phi_CT", "Phi_SC", "Phi_ST"};
  } else {
    t.rows = {{"Between " + pop, p - 1, total - within}, {"Within " + pop, n - p, within}};
    t.phinames = {"Phi_PT"};
  }
  double sigmatotal = 0;
  for (double s : sigma) sigmatotal += s;
  for (std::size_t k = 0; k < t.rows.size(); ++k) {
    AmovaRow& r = t.rows[k];
    r.ms = r.ss / r.df;
    r.sigma2 = sigma[k];
    r.percent = 100 * sigma[k] / sigmatotal;
  }
  if (d.twolevels()) {
    t.rows[0].phi = sigma[0] / sigmatotal;
    t.rows[1].phi = sigma[1] / (sigma[1] + sigma[2]);
    t.rows[2].phi = (sigma[0] + sigma[1]) / sigmatotal;
  } else {
    t.rows[0].phi = sigma[0] / sigmatotal;
  }
  for (std::size_t k = 0; k < t.phinames.size(); ++k) t.rows[k].hasphi = true;
  t.rows.push_back({"Total", n - 1, total, total / (n - 1), sigmatotal, 100});
  return t;
}

}  // namespace lorvane
