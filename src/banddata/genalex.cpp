// GenAlEx binary data (CSV): line 1 the number of loci, of samples and of
// populations and each population's size (then, after a blank cell, the
// number of regions and each region's number of populations); line 2 the
// title and the populations' (and regions') names above their sizes; line 3
// the header: sample, population, locus names; then a line a sample: its
// id, its population and a score per locus. Samples come population by
// population in the order of line 1. Cells after the scores are allowed
// when they are empty or follow an empty cell.
#include <climits>
#include <string>
#include <vector>

#include "banddata/readers.h"
#include "tables/distancetable.h"

namespace lorvane::banddata {

namespace {

// A whole number cell of 0 or more; -1 when the cell is none.
long long wholecell(const std::string& cell) {
  const std::string c = trimcell(cell);
  if (c.empty() || c.size() > 12) return -1;
  long long v = 0;
  for (char ch : c) {
    if (ch < '0' || ch > '9') return -1;
    v = v * 10 + (ch - '0');
  }
  return v;
}

struct Header {
  long long loci = 0, samples = 0, pops = 0;
  std::vector<long long> sizes;        // per population
  std::vector<long long> regionpops;   // populations per region (none: no regions)
  std::size_t regioncolumn = 0;        // of the first region count
};

Header readheader(Lines& in, const std::vector<std::string>& c) {
  Header h;
  h.loci = c.size() > 0 ? wholecell(c[0]) : -1;
  h.samples = c.size() > 1 ? wholecell(c[1]) : -1;
  h.pops = c.size() > 2 ? wholecell(c[2]) : -1;
  if (h.loci < 1 || h.samples < 1 || h.pops < 1)
    in.fail("expected the numbers of loci, samples and populations, each 1 or more");
  if (static_cast<long long>(c.size()) < 3 + h.pops)
    in.fail("line 1 gives " + std::to_string(c.size() > 3 ? c.size() - 3 : 0) + " population sizes for " +
            std::to_string(h.pops) + " populations");
  long long total = 0;
  for (long long p = 0; p < h.pops; ++p) {
    const long long s = wholecell(c[static_cast<std::size_t>(3 + p)]);
    if (s < 1) in.fail("population size " + std::to_string(p + 1) + " is not a whole number of 1 or more");
    h.sizes.push_back(s);
    total += s;
  }
  if (total != h.samples)
    in.fail("the population sizes add up to " + std::to_string(total) + ", not the " + std::to_string(h.samples) +
            " samples");
  // A file holds at least two characters a score (the score and a comma).
  if (in.size() >= 0 && h.samples > in.size() / 2 / h.loci)
    in.fail("line 1 announces " + std::to_string(h.samples) + " samples of " + std::to_string(h.loci) +
            " loci, more than the file's " + std::to_string(in.size()) + " bytes can hold");
  // Regions: after a blank cell, their number and each one's populations.
  std::size_t k = static_cast<std::size_t>(3 + h.pops);
  while (k < c.size() && trimcell(c[k]).empty()) ++k;
  if (k < c.size() && k > static_cast<std::size_t>(3 + h.pops)) {
    const long long regions = wholecell(c[k]);
    if (regions < 1) in.fail("expected the number of regions after the population sizes");
    h.regioncolumn = k + 1;
    long long pops = 0;
    for (long long r = 0; r < regions; ++r) {
      const long long p = h.regioncolumn + r < c.size() ? wholecell(c[h.regioncolumn + static_cast<std::size_t>(r)]) : -1;
      if (p < 1) in.fail("region " + std::to_string(r + 1) + " has no number of populations of 1 or more");
      h.regionpops.push_back(p);
      pops += p;
    }
    if (pops != h.pops)
      in.fail("the regions hold " + std::to_string(pops) + " populations, not " + std::to_string(h.pops));
  }
  return h;
}

template <class Cells>
std::string cellat(const Cells& c, std::size_t k) { return k < c.size() ? trimcell(c[k]) : ""; }

// The cells after a sample's scores: empty, or after an empty cell.
bool extrasallowed(const std::vector<std::string_view>& c, std::size_t from) {
  return from >= c.size() || trimcell(c[from]).empty();
}

}  // namespace

ScoreGrid readgenalex(Lines& in, char delimiter) {
  std::string line;
  in.next(line);
  const Header h = readheader(in, csvfields(line, delimiter));
  ScoreGrid g;
  if (!in.next(line)) in.fail("the file ends before the line of the title and the populations' names", 2);
  const std::vector<std::string> names = csvfields(line, delimiter);
  std::vector<std::string> pops, regions;
  for (long long p = 0; p < h.pops; ++p) pops.push_back(cellat(names, static_cast<std::size_t>(3 + p)));
  for (std::size_t r = 0; r < h.regionpops.size(); ++r) {
    std::string name = cellat(names, h.regioncolumn + r);
    regions.push_back(name.empty() ? "Region " + std::to_string(r + 1) : name);
  }
  if (!in.next(line)) in.fail("the file ends before the header of the loci", 3);
  const std::vector<std::string> header = csvfields(line, delimiter);
  const auto loci = static_cast<std::size_t>(h.loci);
  for (std::size_t k = 0; k < loci; ++k) {
    std::string name = cellat(header, 2 + k);
    g.bandnames.push_back(name.empty() ? "L" + std::to_string(k + 1) : name);
  }
  if (!regions.empty()) g.groups.levels.push_back("region");
  g.groups.levels.push_back("population");
  g.groups.labels.resize(g.groups.levels.size());
  g.scores.reserve(static_cast<std::size_t>(h.samples) * loci);
  std::vector<std::size_t> popregion;  // each population's region
  for (std::size_t r = 0; r < h.regionpops.size(); ++r) popregion.insert(popregion.end(), static_cast<std::size_t>(h.regionpops[r]), r);
  std::size_t pop = 0;
  long long inpop = 0;
  std::vector<std::string> store;
  for (long long s = 0; s < h.samples; ++s) {
    if (!in.next(line))
      in.fail("the file ends after " + std::to_string(s) + " samples where line 1 announces " +
              std::to_string(h.samples));
    const std::vector<std::string_view> c = cellviews(line, delimiter, store);
    while (inpop == h.sizes[pop]) ++pop, inpop = 0;
    const std::string label = cellat(c, 1);
    if (pops[pop].empty()) pops[pop] = label;  // no name on line 2: the rows name it
    if (label != pops[pop])
      in.fail("sample of population \"" + label + "\" where line 1 puts population " + std::to_string(pop + 1) +
              " (\"" + pops[pop] + "\", " + std::to_string(h.sizes[pop]) + " samples)");
    ++inpop;
    g.names.push_back(cellat(c, 0));
    if (g.names.back().empty()) in.fail("a sample without an id");
    for (std::size_t k = 0; k < loci; ++k) {
      if (2 + k >= c.size()) in.fail("the sample has " + std::to_string(c.size() > 2 ? c.size() - 2 : 0) +
                                      " scores where line 1 announces " + std::to_string(loci) + " loci");
      const Score score = quickscore(c[2 + k]);
      if (score == kNoScore) in.fail(notascore(c[2 + k], static_cast<long>(3 + k)));
      g.scores.push_back(score);
    }
    if (!extrasallowed(c, 2 + loci)) in.fail(notascore(c[2 + loci], static_cast<long>(3 + loci)));
    if (!regions.empty()) g.groups.labels[0].push_back(regions[popregion[pop]]);
    g.groups.labels.back().push_back(pops[pop]);
  }
  while (in.next(line))
    if (trimcell(line).find_first_not_of(std::string(1, delimiter)) != std::string::npos)
      in.fail("a line after the " + std::to_string(h.samples) + " samples line 1 announces");
  return g;
}

}  // namespace lorvane::banddata
