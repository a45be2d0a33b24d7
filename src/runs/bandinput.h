#pragma once
// How the options on band data (1, 2 and 4) read their input: the format
// (found from the content unless given), the groups, and how missing
// scores count; and the report lines of what was read.
#include <string>

#include "aflp/bands.h"
#include "banddata/bandformats.h"
#include "banddata/prepare.h"
#include "core/runcontext.h"

namespace lorvane {

struct BandInput {
  BandFormat format = BandFormat::Auto;
  BandLayout layout = BandLayout::Rows;
  int groupcolumns = 0;
  std::string groups;  // a groups file; empty: the groups the data give
  MissingScores missing = MissingScores::Pairwise;
  double dropbands = 1.0, dropstrains = 1.0;  // leave out what has more than this fraction missing
};

// The settings as one text, for what must agree between runs (shards).
std::string settingstext(const BandInput& input);

// Reads the band data and makes them ready (groups file, bands and strains
// left out, missing scores as asked), with the report lines: those of the
// reader ("Souche" lines with `strainlines`), then, for data that are not
// in the fixed layout or hold groups or missing scores, what they hold.
BandData readinput(RunContext& ctx, const std::string& path, const BandInput& input, ReadMode mode,
                   bool strainlines);

}  // namespace lorvane
