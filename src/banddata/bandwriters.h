#pragma once
// Band data written in the formats people take them on in: the fixed
// layout (with its groups beside it), GenAlEx binary data, NEXUS and
// STRUCTURE. Lines end in CR LF; missing scores as each format writes them.
#include <string>
#include <vector>

#include "aflp/bands.h"

namespace lorvane {

// The names that do not fit the fixed layout's 10 characters.
std::vector<std::string> namesbeyondten(const BandData& d);
// The fixed layout: "n m", then each name in 10 characters and its codes
// (1 present, 0 absent; the layout has no missing score: such data must
// have their missing scores counted as absent first).
std::string fixedlayouttext(const BandData& d);
// "name,LEVEL1,..." and a row a strain; empty when the data hold no groups.
std::string groupstext(const BandData& d);
// GenAlEx binary data: the populations of the last level (one population
// when there are no groups; regions from a level above it); missing -1.
// The rows are put in the order of their populations.
std::string genalextext(const BandData& d, const std::string& title);
// A NEXUS DATA block, STANDARD with symbols 0 and 1, missing "?".
std::string nexustext(const BandData& d);
// STRUCTURE's dominant-marker data: a row of locus names, the row of
// recessive alleles that RECESSIVEALLELES=1 asks for (0 for each band), then
// a row per strain: its name, its population's number (from 1, by the
// groups' last level), its scores, missing -9.
std::string structuretext(const BandData& d);

}  // namespace lorvane
