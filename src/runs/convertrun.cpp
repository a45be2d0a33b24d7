#include <algorithm>
#include <cmath>

#include "core/messages.h"
#include "runs/runsupport.h"
#include "runs/tableruns.h"

namespace lorvane {

std::shared_ptr<const RunResult> convert(RunContext& ctx, const ConvertRequest& rq) {
  ctx.report.print("Lorvane: Converting distance table\n");
  const ConvertFormat format = rq.format;
  const char* extension = format == ConvertFormat::PhylipLower ? ".lower.phy"
                          : format == ConvertFormat::Csv      ? ".csv"
                                                              : ".phy";
  TableReader reader(rq.path);
  DistanceTable t;
  const std::string outpath = outputstem(ctx, rq.path) + extension;
  OutputFile out = openoutput(outpath, "convert");
  ProgressWindow progress(ctx.ws, "Converting tables");
  int n = 0;
  while (reader.next(t)) {
    n = t.size();
    if (format != ConvertFormat::Csv && reader.tablesread() == 1)
      if (const auto clash = phylipclash(t))
        errorstop("Error: strains " + std::to_string(clash->first + 1) + " and " + std::to_string(clash->second + 1) +
                  " of " + rq.path + " would have the same name in PHYLIP, whose long names hold no blanks (each "
                  "becomes _); the CSV form keeps names whole (convert)");
    const int k = reader.tablesread();
    const double read = reader.fraction();
    progress.step(k, read > 0 ? std::max(k, static_cast<int>(std::lround(k / read))) : k);
    out.text(format == ConvertFormat::PhylipLower ? phyliplower(t)
             : format == ConvertFormat::Csv       ? csvtable(t)
                                                  : phylipsquare(t));
    if (out.failed())
      errorstop(filefault("Error: can't write output file " + out.path() + " (convert)", out.path(), out.error()));
  }
  if (reader.tablesread() == 0) errorstop("Error: " + rq.path + " holds no table (convert)");
  commitall({&out}, "convert");
  ctx.report.print("Input file: %s\n", rq.path.c_str());
  ctx.report.print("--- Format: %s, tables: %d, number of rows: %d, columns: %d\n", formatname(reader.format()),
                   reader.tablesread(), n, n);
  ctx.report.print("Output file: %s\n", outpath.c_str());
  auto result = std::make_shared<RunResult>();
  result->wrote(outpath);
  result->tablefile = outpath;
  return result;
}

}  // namespace lorvane
