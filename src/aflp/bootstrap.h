#pragma once
#include <string>

#include "core/runcontext.h"

namespace lorvane {

// "Bootstrap computation": R replicates of the bands drawn with replacement,
// each replicate's distance table appended to input + ".matJ" (index 1) or
// ".matD", with the Jukes-Cantor corrected table in ".matDJC" (index not 1).
void calcboot(RunContext& ctx, const std::string& path, int r, float k, int index, int jukescantor,
              int repetitions);

// Column (1..m) drawn from a generator value v (0..32767): 1 + (v c m),
// with c the single-precision value nearest 1/32767.
int drawcolumn(int v, int m);
// Column (1..m) for files of more than 32,768 bands, where one value cannot
// reach every column: from two consecutive values, v = v1 * 32768 + v2
// (0 .. 2^30 - 1), the column 1 + floor(v m / 2^30).
int drawwidecolumn(int v1, int v2, int m);

}  // namespace lorvane
