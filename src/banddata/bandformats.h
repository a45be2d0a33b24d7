#pragma once
// Band data in the formats people keep it in: the fixed layout of the
// band-pattern file, GenAlEx binary data (CSV), delimited 0/1 tables (CSV or
// TSV, strains as rows or as columns) and NEXUS matrices. Each reader gives
// the presence of each band, the bands scored (for data with missing
// scores), the names whole and the groups the file holds.
#include <string>

#include "aflp/bands.h"

namespace lorvane {

enum class BandFormat : int { Auto = 0, Seed = 1, GenAlEx = 2, Table = 3, Nexus = 4 };
enum class BandLayout : int { Rows = 1, Columns = 2 };

struct BandReadOptions {
  BandFormat format = BandFormat::Auto;
  BandLayout layout = BandLayout::Rows;  // of a delimited table
  // A delimited table's group columns after the names (rows of groups after
  // the header, for strains as columns); 0: those whose header starts with
  // "pop" or "group".
  int groupcolumns = 0;
  // Where the fixed layout's scratch copy is made (the input's folder when empty).
  std::string scratchfolder;
};

// The format of a file from its first line: two counts separated by blanks
// is the fixed layout; "#NEXUS" NEXUS; a first line of at least three whole
// numbers separated by commas GenAlEx; any other delimited first line a
// table. A file that is none of these is read as the fixed layout (whose
// reader then says what is wrong).
BandFormat detectbandformat(const std::string& path);
const char* bandformatname(BandFormat format);

// Reads a file in its format (error stop naming file, line and column on
// any fault): the fixed layout as readbands does, the others here. The
// events come once the whole file is read: the counts, then the strains.
// `format`, when given, receives the format read.
BandData readbanddata(const std::string& path, const BandReadOptions& options, ReadMode mode, BandEvents& events,
                      BandFormat* format = nullptr);

}  // namespace lorvane
