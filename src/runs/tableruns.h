#pragma once
// Options 5, 6 and 7, on distance tables in any of the formats the table
// reader takes: "Convert a distance table", "Principal coordinates" and
// "Mantel test".
#include <memory>
#include <optional>
#include <string>

#include "core/runcontext.h"
#include "ordination/mantel.h"
#include "ordination/pcoa.h"
#include "runs/runresult.h"

namespace lorvane {

// 2 PHYLIP lower-triangular, 3 CSV, any other value PHYLIP square.
enum class ConvertFormat : int { PhylipSquare = 1, PhylipLower = 2, Csv = 3 };

struct ConvertRequest {
  std::string path;
  ConvertFormat format = ConvertFormat::PhylipSquare;
};

struct PcoaRequest {
  std::string path;
  std::optional<int> axes;  // none: 3, or the number of strains when fewer
  Correction correction = Correction::none;
};

// 1 Pearson, 2 Spearman; any other value stops the run.
enum class MantelMethod : int { Pearson = 1, Spearman = 2 };

struct MantelRequest {
  std::string patha, pathb;
  int permutations = 999;
  MantelMethod method = MantelMethod::Pearson;
};

// Every table of the file in the other format: TABLE.phy, .lower.phy or .csv.
std::shared_ptr<const RunResult> convert(RunContext& ctx, const ConvertRequest& request);
// TABLE.pcoa.csv (header "name,axis1,...", then per strain its name and its
// coordinates on the axes of positive eigenvalue) and TABLE.eig.csv (header
// "axis,eigenvalue,share,cumulative", then one row per axis asked for, the
// shares as fractions of the positive eigenvalues' sum). Numbers are the
// shortest text that reads back to the same value; lines end in CR LF.
std::shared_ptr<const RunResult> pcoarun(RunContext& ctx, const PcoaRequest& request);
// TABLEA.mantel.csv: the header "r,p,permutations,seed,method" and one line
// of values.
std::shared_ptr<const RunResult> mantelrun(RunContext& ctx, const MantelRequest& request);
// The text of TABLEA.mantel.csv.
std::string mantelcsv(const MantelResult& r, bool spearman);

}  // namespace lorvane
