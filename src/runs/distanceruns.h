#pragma once
// Options 1 and 2, "Simple computation" and "Bootstrap computation": the
// distance tables of a band-pattern file, and of bootstrap replicates of its
// bands, written beside it.
#include <memory>
#include <string>

#include "aflp/pairtable.h"
#include "core/runcontext.h"
#include "runs/bandinput.h"
#include "runs/runresult.h"

namespace lorvane {

struct DistanceRequest : BandInput {
  std::string path;
  int sites = 0;  // the length of the recognition sites
  float k = 1.0f;
  DistanceIndex index = DistanceIndex::Jaccard;
  bool jukescantor = false;  // the corrected Dice distance too
  bool binary = false;       // binary matrix files instead of text
};

struct BootstrapRequest : BandInput {
  std::string path;
  int sites = 0;
  float k = 1.0f;
  DistanceIndex index = DistanceIndex::Jaccard;  // any other than Jaccard: Dice
  bool jukescantor = false;  // read and not used: Dice always has its corrected tables
  int replicates = 0;
};

// The distance, similarity and shared-band tables of every pair of strains
// (".matJ" ".matJP" ".nxy" for Jaccard, ".matD" ".matDP" ".nxy" and
// ".matDJC" for Dice, ".matNL" for Nei & Li). An index out of the list
// reads the input and writes nothing.
std::shared_ptr<const RunResult> calcdist(RunContext& ctx, const DistanceRequest& request);
// The replicate tables appended to ".matJ", or ".matD" and ".matDJC".
std::shared_ptr<const RunResult> calcboot(RunContext& ctx, const BootstrapRequest& request);

}  // namespace lorvane
