#include "banddata/prepare.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <map>
#include <mutex>

#include "aflp/paircount.h"
#include "banddata/scoregrid.h"
#include "core/messages.h"
#include "core/threadpool.h"
#include "tables/distancetable.h"

namespace lorvane {

Groups readgroups(const std::string& path, const std::vector<std::string>& strains) {
  const int n = static_cast<int>(strains.size());
  banddata::Lines in(path);
  auto fail = [&](const std::string& text) { errorstop("Error: " + path + ", line " + std::to_string(in.number()) + ": " + text + " (readgroups)"); };
  std::string line;
  if (!in.next(line)) errorstop("Error: " + path + " is empty: a groups file starts with a header \"name,LEVEL,...\" (readgroups)");
  const char delimiter = line.find('\t') != std::string::npos ? '\t' : line.find(';') != std::string::npos && line.find(',') == std::string::npos ? ';' : ',';
  std::vector<std::string> header = csvfields(line, delimiter);
  while (!header.empty() && banddata::trimcell(header.back()).empty()) header.pop_back();
  if (header.size() < 2) fail("a header \"name,LEVEL1,...\" with at least one level");
  Groups g;
  for (std::size_t k = 1; k < header.size(); ++k) g.levels.push_back(banddata::trimcell(header[k]));
  g.labels.assign(g.levels.size(), std::vector<std::string>(static_cast<std::size_t>(n)));
  std::map<std::string, int> strain;  // name (without the fixed layout's blanks) -> strain (0-based)
  for (int i = 0; i < n; ++i) strain.emplace(banddata::trimcell(strains[static_cast<std::size_t>(i)]), i);
  std::vector<long> given(static_cast<std::size_t>(n), 0);
  while (in.next(line)) {
    if (banddata::trimcell(line).empty()) continue;
    std::vector<std::string> c = csvfields(line, delimiter);
    const std::string name = banddata::trimcell(c[0]);
    const auto it = strain.find(name);
    if (it == strain.end()) fail("\"" + name + "\" is not a strain of " + "the data");
    long& first = given[static_cast<std::size_t>(it->second)];
    if (first) fail("the strain \"" + name + "\" is named twice (first on line " + std::to_string(first) + ")");
    first = in.number();
    if (c.size() < header.size()) fail("the row of \"" + name + "\" gives " + std::to_string(c.size() - 1) +
                                       " groups where the header names " + std::to_string(g.levels.size()));
    for (std::size_t k = 0; k < g.levels.size(); ++k)
      g.labels[k][static_cast<std::size_t>(it->second)] = banddata::trimcell(c[k + 1]);
  }
  for (int i = 0; i < n; ++i)
    if (!given[static_cast<std::size_t>(i)])
      errorstop("Error: " + path + ": no row for the strain \"" + banddata::trimcell(strains[static_cast<std::size_t>(i)]) +
                "\" (readgroups)");
  return g;
}

void readgroupsfile(BandData& d, const std::string& path) {
  std::vector<std::string> strains;
  for (int i = 1; i <= d.n; ++i) strains.push_back(d.names[i]);
  d.groups = readgroups(path, strains);
}

std::size_t levelindex(const Groups& groups, const std::string& name, const std::string& source) {
  std::string levels;
  for (std::size_t l = 0; l < groups.levels.size(); ++l) {
    if (groups.levels[l] == name) return l;
    levels += (l ? ", " : "") + groups.levels[l];
  }
  errorstop("Error: " + source + (groups.empty() ? " give no groups" : " give no level \"" + name + "\" (levels: " + levels + ")") + " (groups)");
}

void checknested(const Groups& groups, std::size_t upper, std::size_t lower, const std::string& source) {
  std::map<std::string, std::string> within;  // a group of `lower` -> its group of `upper`
  const std::vector<std::string>& low = groups.labels[lower];
  const std::vector<std::string>& up = groups.labels[upper];
  for (std::size_t i = 0; i < low.size(); ++i)
    if (const auto [it, fresh] = within.emplace(low[i], up[i]); !fresh && it->second != up[i])
      errorstop("Error: " + source + " give the " + groups.levels[lower] + " \"" + low[i] + "\" in two " +
                groups.levels[upper] + " groups, \"" + it->second + "\" and \"" + up[i] + "\": each " +
                groups.levels[lower] + " must lie in one " + groups.levels[upper] + " (groups)");
}

void checkuniquenames(const BandData& d, const std::string& path) {
  std::map<std::string, int> seen;
  for (int i = 1; i <= d.n; ++i)
    if (const auto [it, fresh] = seen.emplace(d.names[i], i); !fresh)
      errorstop("Error: " + path + ": strains " + std::to_string(it->second) + " and " + std::to_string(i) +
                " are both named \"" + d.names[i] + "\"; every strain needs a name of its own (readbands)");
}

namespace {

// The data with only the kept strains (rows) and bands (columns).
void keep(BandData& d, const std::vector<int>& rows, const std::vector<long long>& columns) {
  BitMatrix bits(static_cast<int>(rows.size()), static_cast<long long>(columns.size()));
  BitMatrix scored = d.hasmissing() ? BitMatrix(static_cast<int>(rows.size()), static_cast<long long>(columns.size())) : BitMatrix();
  CharTable names = tabcaralloc(static_cast<int>(rows.size()), 1);
  Groups groups;
  groups.levels = d.groups.levels;
  groups.labels.resize(groups.levels.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const int i = rows[r];
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (d.bits.test(i, columns[c])) bits.set(static_cast<int>(r), static_cast<long long>(c));
      if (d.hasmissing() && d.scored.test(i, columns[c])) scored.set(static_cast<int>(r), static_cast<long long>(c));
    }
    names[static_cast<int>(r) + 1] = d.names[i + 1];
    for (std::size_t l = 0; l < groups.levels.size(); ++l) groups.labels[l].push_back(d.groups.labels[l][static_cast<std::size_t>(i)]);
  }
  std::vector<std::string> bandnames;
  if (!d.bandnames.empty())
    for (long long c : columns) bandnames.push_back(d.bandnames[static_cast<std::size_t>(c)]);
  d.n = static_cast<int>(rows.size());
  d.m = static_cast<int>(columns.size());
  d.bits = std::move(bits);
  d.scored = std::move(scored);
  d.names = std::move(names);
  d.bandnames = std::move(bandnames);
  d.groups = std::move(groups);
}

std::string bandname(const BandData& d, long long k) {
  return d.bandnames.empty() ? std::to_string(k + 1) : d.bandnames[static_cast<std::size_t>(k)];
}

}  // namespace

void keepstrains(BandData& d, const std::vector<int>& rows) {
  std::vector<long long> columns(static_cast<std::size_t>(d.m));
  for (long long k = 0; k < d.m; ++k) columns[static_cast<std::size_t>(k)] = k;
  keep(d, rows, columns);
}

std::pair<std::vector<std::string>, std::vector<std::string>> dropmissing(BandData& d, double bands, double strains) {
  std::pair<std::vector<std::string>, std::vector<std::string>> dropped;
  if (!d.hasmissing()) return dropped;
  std::vector<long long> columns;
  for (long long k = 0; k < d.m; ++k) {
    long long missing = 0;
    for (int i = 0; i < d.n; ++i) missing += !d.scored.test(i, k);
    if (static_cast<double>(missing) > bands * d.n)
      dropped.first.push_back(bandname(d, k));
    else
      columns.push_back(k);
  }
  std::vector<int> rows;
  for (int i = 0; i < d.n; ++i) {
    long long missing = 0;
    for (long long k : columns) missing += !d.scored.test(i, k);
    if (static_cast<double>(missing) > strains * static_cast<double>(columns.size()))
      dropped.second.push_back(d.names[i + 1]);
    else
      rows.push_back(i);
  }
  if (!dropped.first.empty() || !dropped.second.empty()) {
    if (rows.size() < 2 || columns.empty())
      errorstop("Error: leaving out the bands and strains with too many missing scores leaves " +
                std::to_string(rows.size()) + " strains of " + std::to_string(columns.size()) +
                " bands: nothing to compute (readbands)");
    keep(d, rows, columns);
  }
  return dropped;
}

void countasabsent(BandData& d) { d.scored = BitMatrix(); }

MissingSummary summarisemissing(const BandData& d, const ComputeSettings& settings) {
  MissingSummary s;
  if (!d.hasmissing()) return s;
  s.cells = static_cast<long long>(d.n) * d.m;
  std::vector<std::pair<long long, int>> bystrain;  // (missing, strain)
  for (int i = 0; i < d.n; ++i) {
    long long scored = 0;
    for (std::size_t w = 0; w < d.scored.words(); ++w) scored += std::popcount(d.scored.row(i)[w]);
    s.missing += d.m - scored;
    bystrain.emplace_back(d.m - scored, i + 1);
  }
  std::stable_sort(bystrain.begin(), bystrain.end(), [](auto& a, auto& b) { return a.first > b.first; });
  for (std::size_t k = 0; k < bystrain.size() && k < 3 && bystrain[k].first > 0; ++k)
    s.most.emplace_back(bystrain[k].second, bystrain[k].first);
  // Bands scored in both strains of every pair: the shared count of the
  // scored bits, a block of rows at a time.
  s.leastcompared = std::numeric_limits<long long>::max();
  PairCounter counter(d.scored, nullptr, 0, pairkernel(settings.kernel), settings.threadcount());
  constexpr int kBlock = 256;
  for (int r0 = 0; r0 < d.n - 1; r0 += kBlock) {
    const int r1 = std::min(d.n, r0 + kBlock);
    counter.count(r0, r1, r0, d.n, true);
    for (int i = r0; i < r1; ++i)
      for (int j = i + 1; j < d.n; ++j)
        if (const long long c = counter.at(i, j); c < s.leastcompared) s.leastcompared = c, s.leasti = i + 1, s.leastj = j + 1;
  }
  if (d.n < 2) s.leastcompared = 0;
  return s;
}

}  // namespace lorvane
