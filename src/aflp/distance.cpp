// "Simple computation": for every pair of strains of a band-pattern file, the
// Jaccard or Dice similarity weighted by K, the distance from it with the site
// length r, the Jukes-Cantor correction or the Nei & Li distance, written
// beside the input as triangle text or binary matrix files.
#include "aflp/distance.h"

#include <cmath>
#include <memory>
#include <vector>

#include "aflp/bands.h"
#include "aflp/pairtable.h"
#include "aflp/tablewriters.h"
#include "core/messages.h"

namespace lorvane {

void checkparameters(int r, float k, const char* operation) {
  if (r < 1)
    errorstop(std::string("Error: the length of recognition sites must be 1 or more (") + operation + ")");
  if (!(k >= 0) || std::isinf(k))
    errorstop(std::string("Error: the K value must be a number of 0 or more (") + operation + ")");
}

namespace {

struct TableFile {
  Figure figure;
  const char* extension;
};

// The files of a run, in the order they are written and reported.
std::vector<TableFile> tablefiles(const DistanceOptions& o) {
  const bool jaccard = o.index == DistanceIndex::Jaccard;
  std::vector<TableFile> files;
  if (jaccard || o.index == DistanceIndex::Dice) {
    files.push_back({Figure::Distance, jaccard ? ".matJ" : ".matD"});
    files.push_back({Figure::Similarity, jaccard ? ".matJP" : ".matDP"});
    files.push_back({Figure::Shared, ".nxy"});
  }
  if (o.correction) files.push_back({Figure::Corrected, ".matDJC"});
  if (o.index == DistanceIndex::NeiLi) files.push_back({Figure::NeiLi, ".matNL"});
  return files;
}

const char* distanceline(DistanceIndex index) {
  switch (index) {
    case DistanceIndex::Jaccard: return "\nDistance = Jaccard\n";
    case DistanceIndex::Dice: return "\nDistance = Dice\n";
    case DistanceIndex::NeiLi: return "\nDistance = Dice corrigee Nei & Li (79)\n";
    case DistanceIndex::Other: break;
  }
  return "";
}

}  // namespace

void calcdist(RunContext& ctx, const std::string& path, int r, float kvalue, int index, int jukescantor,
              int package) {
  checkparameters(r, kvalue, "calcdist");
  const DistanceOptions o = DistanceOptions::simple(r, kvalue, index, jukescantor, package);
  const bool binary = o.form == OutputForm::Binary;
  ctx.report.print("Lorvane: Reading input file\n");
  BandData d = readbands(ctx, path, ReadMode::Simple);  // the scratch file goes with d
  ctx.report.print("Lorvane: Computing distances\n");

  const int threads = ctx.settings.threadcount();
  PairSource source(d.bits, ctx.settings, threads);
  OutputSet outputs;
  std::vector<std::unique_ptr<TableWriter>> writers;
  std::vector<PairConsumer*> consumers;
  for (const TableFile& f : tablefiles(o)) {
    const std::string name = outputstem(ctx, path) + f.extension;
    const std::string failure =
        binary ? "Error: can't write matrix (ecrmat)" : "Error: can't write output file " + name + " (calcdist)";
    Output& out = outputs.add(name, binary ? 'b' : 'a', failure, failure);
    writers.push_back(
        std::make_unique<TableWriter>(out, f.figure, o.form, d.names, TableWriter::Mode::Streamed));
    consumers.push_back(writers.back().get());
  }
  const PairTable table(o, source.ceiling(), "calcdist");
  {
    ProgressWindow progress(ctx.ws, "Computing distances");
    PairNotices notices(ctx, source, o.correction ? &table.formulas() : nullptr, &progress);
    const TableShape shape{binary ? RowSpan::Whole : RowSpan::Upper, threads, ctx.settings.rowsperblock(d.n)};
    if (!consumers.empty()) table.run(source, shape, consumers, &notices);
    notices.upto(d.n);
  }
  outputs.commit();

  ctx.report.print("%s", distanceline(o.index));
  for (const Output& out : outputs) {
    ctx.report.print("Output file: %s\n", out.path.c_str());
    ctx.report.print("--- Number of rows: %d, columns: %d\n", d.n, d.n);
  }
}

}  // namespace lorvane
