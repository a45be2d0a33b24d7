#pragma once
#include <vector>

#include "aflp/bands.h"
#include "aflp/pairtable.h"
#include "aflp/tablewriters.h"
#include "core/runcontext.h"

namespace lorvane {

// The tables of the simple computation, in the order they are written and
// reported: their figure and the extension of their file.
struct DistanceFile {
  Figure figure;
  const char* extension;
};
std::vector<DistanceFile> distancefiles(const DistanceOptions& options);

// Distances, similarities and shared-band counts of every pair of strains
// of `bands` into `outputs`, one output per entry of distancefiles(options)
// in that order: triangle text matrices, or binary matrix files with
// OutputForm::Binary. Blocks of rows are computed on the threads and written
// while the next block is computed. The pairs' events go to `events`.
void writedistances(const ComputeContext& cc, const BandData& bands, const DistanceOptions& options,
                    OutputSet& outputs, PairEvents& events);

// Error stops for answers no computation can use: a site length below 1 or
// a K value that is negative or not a number.
void checkparameters(int r, float k, const char* operation);

}  // namespace lorvane
