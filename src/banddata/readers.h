#pragma once
// The band readers of the formats other than the fixed layout (see
// banddata/bandformats.h), each from the lines of its file.
#include "banddata/bandformats.h"
#include "banddata/scoregrid.h"

namespace lorvane::banddata {

ScoreGrid readgenalex(Lines& in, char delimiter);
ScoreGrid readtable(Lines& in, const BandReadOptions& options);
ScoreGrid readnexus(Lines& in);

}  // namespace lorvane::banddata
