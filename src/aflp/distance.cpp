// The simple computation: for every pair of strains of a band-pattern file,
// the Jaccard or Dice similarity weighted by K, the distance from it with the
// site length r, the Jukes-Cantor correction or the Nei & Li distance, as
// triangle text or binary matrix files.
#include "aflp/distance.h"

#include <cmath>
#include <memory>

#include "core/messages.h"

namespace lorvane {

void checkparameters(int r, float k, const char* operation) {
  if (r < 1)
    errorstop(std::string("Error: the length of recognition sites must be 1 or more (") + operation + ")");
  if (!(k >= 0) || std::isinf(k))
    errorstop(std::string("Error: the K value must be a number of 0 or more (") + operation + ")");
}

std::vector<DistanceFile> distancefiles(const DistanceOptions& o) {
  const bool jaccard = o.index == DistanceIndex::Jaccard;
  std::vector<DistanceFile> files;
  if (jaccard || o.index == DistanceIndex::Dice) {
    files.push_back({Figure::Distance, jaccard ? ".matJ" : ".matD"});
    files.push_back({Figure::Similarity, jaccard ? ".matJP" : ".matDP"});
    files.push_back({Figure::Shared, ".nxy"});
  }
  if (o.correction) files.push_back({Figure::Corrected, ".matDJC"});
  if (o.index == DistanceIndex::NeiLi) files.push_back({Figure::NeiLi, ".matNL"});
  return files;
}

void writedistances(const ComputeContext& cc, const BandData& d, const DistanceOptions& o, OutputSet& outputs,
                    PairEvents& events) {
  const bool binary = o.form == OutputForm::Binary;
  const int threads = cc.settings.threadcount();
  PairSource source(d.bits, cc.settings, threads, d.scoredbits());
  std::vector<std::unique_ptr<TableWriter>> writers;
  std::vector<PairConsumer*> consumers;
  auto out = outputs.begin();
  for (const DistanceFile& f : distancefiles(o)) {
    writers.push_back(
        std::make_unique<TableWriter>(*out++, f.figure, o.form, d.names, TableWriter::Mode::Streamed, d.namewidth));
    consumers.push_back(writers.back().get());
  }
  const PairTable table(o, source.ceiling(), "calcdist");
  ProgressWindow progress(cc.ws, "Computing distances");
  PairNotices notices(events, source, o.correction ? &table.formulas() : nullptr, &progress);
  const TableShape shape{binary ? RowSpan::Whole : RowSpan::Upper, threads, cc.settings.rowsperblock(d.n)};
  if (!consumers.empty()) table.run(source, shape, consumers, &notices);
  notices.upto(d.n);
}

}  // namespace lorvane
