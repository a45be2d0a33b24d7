#pragma once
// Options 10, 11 and 12 on band data with groups: "Multilocus genotypes",
// "AMOVA" (also of a distance table) and "Pairwise PhiPT".
#include <memory>
#include <string>
#include <vector>

#include "population/amova.h"
#include "population/deltas.h"
#include "runs/bandinput.h"
#include "runs/runresult.h"

namespace lorvane {

struct GenotypesRequest : BandInput {
  std::string path;
};

// Where δ² comes from: the bands, or a distance table (DATA is then a table).
enum class DeltaSource : int { Bands = 1, Table = 2 };
// The correction of a table that is not Euclidean.
enum class TableCorrection : int { None = 0, Lingoes = 1, Cailliez = 2, Sqrt = 3 };

struct AmovaRequest : BandInput {
  std::string path;
  std::string levels;  // "TOP" or "TOP,LOWER"
  int permutations = 999;
  std::string clonecorrect;  // a level; empty: every strain
  DeltaSource distance = DeltaSource::Bands;
  bool squared = false;  // the table holds δ² already
  TableCorrection correction = TableCorrection::None;
};

struct PhiptRequest : BandInput {
  std::string path;
  std::string level;
  int permutations = 999;
  std::string clonecorrect;
};

// DATA.mlg.csv: the header "strain,genotype,LEVEL..." and a row a strain.
std::shared_ptr<const RunResult> genotypesrun(RunContext& ctx, const GenotypesRequest& request);
// DATA.amova.csv: the header "source,df,SS,MS,sigma2,percent,phi,p", a row
// a level from the top, then "Within ...", then "Total".
std::shared_ptr<const RunResult> amovarun(RunContext& ctx, const AmovaRequest& request);
// DATA.phipt.csv and DATA.phipt.p.csv: the square tables of pairwise ΦPT
// (a negative estimate written as 0) and of their p-values, as CSV tables.
std::shared_ptr<const RunResult> phiptrun(RunContext& ctx, const PhiptRequest& request);

// What the AMOVA and ΦPT runs analyse: the strains (after the clone
// correction), their design and their δ².
struct PopulationData {
  std::vector<std::string> names;
  Design design;
  DeltaHalf delta;
  std::vector<double> pairsums;  // see populationsums
};
// Band data read as `input` says, clone-corrected at the level `clonecorrect`
// (when given), in the design of the levels `top` and `lower`; with their
// report lines.
PopulationData readpopulation(RunContext& ctx, const BandInput& input, const std::string& path,
                              const std::string& clonecorrect, const std::string& top, const std::string& lower);
// "Levels: ..." and the sizes of the groups.
void reportdesign(CFile& report, const Design& design);

// The text of DATA.amova.csv: p from the counts of permutations as extreme
// as observed, empty without permutations.
std::string amovacsv(const AmovaTable& table, const std::vector<long long>& counts, int permutations);
// The report lines of the Φ statistics and their p-values.
void reportphis(CFile& report, const AmovaTable& table, const std::vector<long long>& counts, int permutations);

}  // namespace lorvane
