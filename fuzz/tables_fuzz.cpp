// Fuzz target: the distance-table readers, and the trees and principal
// coordinates of what they read. Any input either reads or stops with an
// error stop, in bounded memory (libFuzzer's -rss_limit_mb makes a blow-up a
// finding): a table read has n distinct names and n(n - 1)/2 finite values
// other than 999, its values and names come back unchanged through every
// writer (PHYLIP's relaxed names with their blanks as underscores), and its
// trees and principal coordinates are made or refused, never a crash.
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

#include "core/messages.h"
#include "core/textio.h"
#include "fuzzutil.h"
#include "ordination/pcoa.h"
#include "tables/distancetable.h"
#include "trees/tree.h"

namespace {

using namespace lorvane;

struct Setup {
  std::string input, copy;
  Setup() {
    const std::string folder = fuzz::makescratchfolder("tables");
    input = folder + "/table";
    copy = folder + "/copy";
  }
};

void roundtrip(const Setup& setup, const DistanceTable& t) {
  for (auto writer : {phylipsquare, phyliplower, csvtable}) {
    const bool csv = writer == csvtable;
    if (!csv && phylipclash(t)) continue;  // refused by the conversion
    if (!writewhole(setup.copy, writer(t))) fuzz::finding("cannot write the copy");
    std::vector<DistanceTable> back;
    try {
      back = readtables(setup.copy);
    } catch (const ErrorStop& e) {
      std::fprintf(stderr, "%s\n", e.what());
      fuzz::finding("a written table does not read back");
    }
    if (back.size() != 1 || back[0].names != (csv ? t.names : phylipnames(t)))
      fuzz::finding("names changed by a write and read");
    for (std::size_t k = 0; k < t.lower.size(); ++k) {
      const bool same = t.single ? static_cast<float>(back[0].lower[k]) == static_cast<float>(t.lower[k])
                                 : back[0].lower[k] == t.lower[k];
      if (!same) fuzz::finding("value changed by a write and read");
    }
  }
}

// Trees and axes of small tables: made, or refused with an error stop.
void analyse(const DistanceTable& t) {
  if (t.size() > 64) return;
  for (bool nj : {true, false}) {
    try {
      const Tree tree = nj ? neighborjoining(t.names, t.lower, {}) : upgma(t.names, t.lower, {});
      readnewick(newick(tree), "tree");
    } catch (const ErrorStop&) {
    }
  }
  const auto n = static_cast<std::size_t>(t.size());
  std::vector<double> square(n * n);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) square[i * n + j] = t(static_cast<int>(i), static_cast<int>(j));
  try {
    const PcoaResult r = pcoa(square, n, {static_cast<int>(std::min<std::size_t>(n, 3)), Correction::lingoes});
    for (double v : r.eigenvalues)
      if (!std::isfinite(v)) fuzz::finding("an eigenvalue that is not finite");
  } catch (const ErrorStop&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Setup setup;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (!writewhole(setup.input, bytes)) fuzz::finding("cannot write the input file");
  std::vector<DistanceTable> tables;
  try {
    TableReader reader(setup.input);
    DistanceTable t;
    while (reader.next(t)) {
      if (t.size() > 4096) return 0;
      tables.push_back(t);
    }
  } catch (const ErrorStop&) {
    return 0;
  }
  for (const DistanceTable& t : tables) {
    const std::size_t n = static_cast<std::size_t>(t.size());
    if (t.lower.size() != n * (n - 1) / 2) fuzz::finding("lower half of the wrong size");
    for (double v : t.lower)
      if (!std::isfinite(v) || v == 999.0) fuzz::finding("a value no table may hold was read");
    if (std::unordered_set<std::string>(t.names.begin(), t.names.end()).size() != n)
      fuzz::finding("a table with a repeated name was read");
    roundtrip(setup, t);
    analyse(t);
  }
  return 0;
}
