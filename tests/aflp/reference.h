#pragma once
// The straightforward computations, kept to check the fast ones against:
// whole n x n tables, one pair at a time, every field through the formatted
// print. Same files, report lines and messages as calcdist and calcboot.
#include <string>

#include "core/runcontext.h"

namespace lorvane::reference {

void calcdist(RunContext& ctx, const std::string& path, int r, float k, int index, int jukescantor,
              int package);
// Files of at most 32,768 bands: wider ones draw from two values, which the
// golden files check.
void calcboot(RunContext& ctx, const std::string& path, int r, float k, int index, int jukescantor,
              int repetitions);

}  // namespace lorvane::reference
