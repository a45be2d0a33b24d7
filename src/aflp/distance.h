#pragma once
#include <string>

#include "core/runcontext.h"

namespace lorvane {

// "Simple computation": distances, similarities and shared-band counts of
// every pair of strains of a band-pattern file, written beside it.
//   index 1 Jaccard, 2 Dice, 3 Nei & Li; jukescantor 1 adds the corrected
//   Dice distance; package 1 writes binary matrix files instead of text.
void calcdist(RunContext& ctx, const std::string& path, int r, float k, int index, int jukescantor,
              int package);

// Error stops for answers no computation can use: a site length below 1 or
// a K value that is negative or not a number.
void checkparameters(int r, float k, const char* operation);

}  // namespace lorvane
