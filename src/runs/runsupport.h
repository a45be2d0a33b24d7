#pragma once
// What the runs share: their outputs opened and committed as one set, the
// report lines of the band reader and of the pair loop, and the report of a
// table read.
#include <initializer_list>
#include <string>

#include "aflp/bands.h"
#include "aflp/pairtable.h"
#include "core/runcontext.h"
#include "core/textio.h"
#include "tables/distancetable.h"

namespace lorvane {

// An output under a temporary name; error stop when it cannot be opened.
OutputFile openoutput(const std::string& path, const char* operation);
// Every output complete before any replaces a file of its name (closed
// outputs are left out); error stop naming the output that failed.
void commitall(std::initializer_list<OutputFile*> outputs, const char* operation);
// "Input file: ..." and "--- Format: ..., number of rows: n, columns: n".
void readreport(RunContext& ctx, const std::string& path, const TableReader& reader, const DistanceTable& t);
// The first table of a file; error stop when it holds none, or when a
// later table of the file is at fault (each is read and checked, not kept).
DistanceTable readfirsttable(RunContext& ctx, const std::string& path, TableReader& reader, const char* operation);

// The band reader's report lines: the input file and its counts, and with
// `strainlines` a "Souche" line a strain.
class ReportedBands : public BandEvents {
 public:
  ReportedBands(CFile& report, const std::string& path, bool strainlines)
      : report_(report), path_(path), strainlines_(strainlines) {}
  void counts(int n, int m) override;
  void strain(int i, const std::string& name) override;

 private:
  CFile& report_;
  const std::string& path_;
  bool strainlines_;
};

// The pair loop's events: a report line for a pair with a strain without
// bands, an information message for a distance without its correction.
class ReportedPairs : public PairEvents {
 public:
  explicit ReportedPairs(RunContext& ctx) : ctx_(ctx) {}
  void nobands(int i, int j, int bi, int bj) override;
  void nocorrection(int i, int j, double distance) override;

 private:
  RunContext& ctx_;
};

// The names of a band file without the blanks that fill them to 10 characters.
std::vector<std::string> trimmednames(const BandData& d);

}  // namespace lorvane
