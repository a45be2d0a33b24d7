#pragma once
// What an option's run returns: its output files, and what it held in memory
// that a picture of the run shows (kept when the caller asked for it, see
// RunContext::keepresults), so that no caller reads back a file the run has
// just written or guesses from the files' names what they hold.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "aflp/bands.h"
#include "frame/optiondescription.h"
#include "ordination/mantel.h"
#include "ordination/pcoa.h"
#include "tables/distancetable.h"
#include "trees/tree.h"

namespace lorvane {

// Principal coordinates with the names of their strains.
struct Ordination {
  std::vector<std::string> names;
  PcoaResult pcoa;
};

struct RunResult : RunOutcome {
  // The table a picture of the run shows: in memory, or the output file
  // that holds it (a run that streams its table to the file keeps none).
  std::shared_ptr<const DistanceTable> table;
  std::string tablefile;
  // The tree the run built, with its support, and the file it went to.
  std::shared_ptr<const Tree> tree;
  std::string treefile;
  std::shared_ptr<const Ordination> ordination;
  std::string ordinationfile;
  std::optional<MantelResult> mantel;
  // The strains' groups, when the data gave them: a picture colours the
  // strains (by name, strains[i] in groups.labels[level][i]) by the first level.
  Groups groups;
  std::vector<std::string> strains;

  // The output files it wrote, in order.
  void wrote(const std::string& path) { outputs.push_back(path); }
};

}  // namespace lorvane
