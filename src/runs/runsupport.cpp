#include "runs/runsupport.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include "core/messages.h"

namespace lorvane {

OutputFile openoutput(const std::string& path, const char* operation) {
  OutputFile f = OutputFile::open(path);
  if (!f) errorstop(filefault("Error: can't open output file " + path + " (" + operation + ")", path, errno));
  return f;
}

void commitall(std::initializer_list<OutputFile*> outputs, const char* operation) {
  std::vector<OutputFile*> open;
  for (OutputFile* f : outputs)
    if (*f) open.push_back(f);
  int error = 0;
  const int failed = OutputFile::commitset(open, &error);
  if (failed >= 0) {
    const std::string& path = open[static_cast<std::size_t>(failed)]->path();
    errorstop(filefault("Error: can't write output file " + path + " (" + operation + ")", path, error));
  }
}

void readreport(RunContext& ctx, const std::string& path, const TableReader& reader, const DistanceTable& t) {
  ctx.report.print("Input file: %s\n", path.c_str());
  ctx.report.print("--- Format: %s, number of rows: %d, columns: %d\n", formatname(reader.format()), t.size(),
                   t.size());
}

DistanceTable readfirsttable(RunContext& ctx, const std::string& path, TableReader& reader, const char* operation) {
  DistanceTable t;
  if (!reader.next(t)) errorstop("Error: " + path + " holds no table (" + operation + ")");
  // The tables after it are read for their faults only, one at a time.
  for (DistanceTable later; reader.next(later);) {
  }
  readreport(ctx, path, reader, t);
  return t;
}

void ReportedBands::counts(int n, int m) {
  report_.print("Input file: %s\n", path_.c_str());
  report_.print("--- Number of rows: %d, columns: %d\n", n, m);
}

void ReportedBands::strain(int i, const std::string& name) {
  if (strainlines_) report_.print("Souche %d : %s\n", i, name.c_str());
}

void ReportedPairs::nobands(int i, int j, int bi, int bj) {
  ctx_.report.print("nsou1 = %d, nsou2 = %d, b = %d, c = %d\n", i, j, bi, bj);
}

void ReportedPairs::nocorrection(int i, int j, double distance) {
  char message[96];
  std::snprintf(message, sizeof message, "Erreur : dist[%d][%d] = %5.4f ", i, j, distance);
  infobox(ctx_.ws, message);
}

std::vector<std::string> trimmednames(const BandData& d) {
  std::vector<std::string> names;
  for (int i = 1; i <= d.n; ++i) {
    std::string name = d.names[i];
    while (!name.empty() && name.back() == ' ') name.pop_back();
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace lorvane
