#pragma once
// Options 6 and 7: "Principal coordinates" and "Mantel test", on distance
// tables in any of the formats the table reader takes.
#include <array>
#include <string>

#include "core/runcontext.h"

namespace lorvane {

inline constexpr const char* kPcoaLayout =
    "Distance table\n[text,,]Number of axes (default = 3) ? \n[int,1,]"
    "Correction : none (0), Lingoes (1) or Cailliez (2) ?\n[int,0,2]";
inline constexpr const char* kMantelLayout =
    "Distance table A (of a file of several tables, the first)\n[text,,]"
    "Distance table B (of a file of several tables, the first)\n[text,,]"
    "Number of permutations (default = 999) : \n[int,0,]Correlation : Pearson (1) or Spearman (2) ?\n[int,1,2]";

// Runs option 6 or 7 from the answers (slots 1 to 10). False when a
// required answer is empty: nothing ran and the report needs no refresh.
//
// Option 6 writes TABLE.pcoa.csv (header "name,axis1,...", then per strain
// its name and its coordinates on the axes of positive eigenvalue) and
// TABLE.eig.csv (header "axis,eigenvalue,share,cumulative", then one row
// per axis asked for, the shares as fractions of the positive eigenvalues'
// sum). Option 7 writes TABLEA.mantel.csv (header "r,p,permutations,seed,
// method" and one line of values). Numbers are the shortest text that
// reads back to the same value; lines end in CR LF.
bool runordinationoption(RunContext& ctx, const std::array<std::string, 11>& answers, int option);

}  // namespace lorvane
