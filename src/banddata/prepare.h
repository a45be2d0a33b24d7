#pragma once
// Band data made ready for a computation: groups from a groups file, the
// bands and strains with too many missing scores left out, missing scores
// counted as absent on request, and what the report says of them.
#include <string>
#include <utility>
#include <vector>

#include "aflp/bands.h"
#include "core/computesettings.h"

namespace lorvane {

// How missing scores count: over the bands scored in both strains of a
// pair (pairwise deletion), or as absent bands (the reading of the fixed
// layout).
enum class MissingScores : int { Pairwise = 1, Absent = 2 };

// The groups of a groups file (a header "name,LEVEL1,LEVEL2,...", then a
// row a strain, matched by name) in place of the data's own. Error stop
// naming the file and line for a strain named twice, a strain of the data
// without a row, or a row of no strain of the data.
void readgroupsfile(BandData& d, const std::string& path);
// The same for strains of these names (blanks around them left out).
Groups readgroups(const std::string& path, const std::vector<std::string>& strains);

// The place of the level named `name` among the groups' levels; error stop
// naming the levels there are when none has that name. `source` names where
// the groups came from ("the groups file g.csv", "the data").
std::size_t levelindex(const Groups& groups, const std::string& name, const std::string& source);
// Every group of level `lower` lies in one group of level `upper`; error
// stop naming the first group of `lower` found in two groups of `upper`.
void checknested(const Groups& groups, std::size_t upper, std::size_t lower, const std::string& source);

// Keeps the strains `rows` (0-based, ascending) of the data, with their
// groups.
void keepstrains(BandData& d, const std::vector<int>& rows);

// Two strains of the same name stop the run (error stop naming them).
void checkuniquenames(const BandData& d, const std::string& path);

// Leaves out the bands with more than the fraction `bands` of their scores
// missing, then the strains with more than `strains` of theirs; returns
// the names of what was left out (bands, strains).
std::pair<std::vector<std::string>, std::vector<std::string>> dropmissing(BandData& d, double bands, double strains);

// Missing scores read as absent bands: the scored bits go.
void countasabsent(BandData& d);

struct MissingSummary {
  long long missing = 0, cells = 0;
  std::vector<std::pair<int, long long>> most;  // up to three strains (1-based) with the most missing scores
  long long leastcompared = 0;                  // the least number of bands scored in both strains of a pair
  int leasti = 0, leastj = 0;                   // that pair (1-based)
};
// Of data with missing scores; threads for the pairs' counts.
MissingSummary summarisemissing(const BandData& d, const ComputeSettings& settings);

}  // namespace lorvane
