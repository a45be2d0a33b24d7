#include "runs/treerun.h"

#include "core/threadpool.h"
#include "core/messages.h"
#include "runs/runsupport.h"

namespace lorvane {

TreeRun::TreeRun(RunContext& ctx, const std::string& stem, TreeMethod method, bool replicates, bool consensus,
                 const char* operation)
    : ctx_(ctx), upgma_(method == TreeMethod::Upgma), operation_(operation), progress_(ctx.ws, "Building trees") {
  settings_.threads = ctx.settings.threadcount();
  tree_ = openoutput(stem + ".nwk", operation);
  if (replicates) reps_ = openoutput(stem + ".reps.nwk", operation);
  if (replicates && consensus) cons_ = openoutput(stem + ".cons.nwk", operation);
}

void TreeRun::reference(DistanceTable&& t, bool keeptable) {
  names_ = t.names;
  if (keeptable) table_ = std::make_shared<const DistanceTable>(t);
  TreeSettings s = settings_;
  s.progress = [this](int done, int total) { progress_.step(done, total); };
  ctx_.report.print("Lorvane: Building tree\n");
  ctx_.report.print(upgma_ ? "Method = UPGMA\n" : "Method = neighbor-joining\n");
  reference_ = build(std::move(t), s);
  support_.emplace(reference_);
}

void TreeRun::replicate(DistanceTable&& t, int k, int total) {
  if (t.names != names_)
    errorstop("Error: replicate table " + std::to_string(k) + " holds other strains than the reference table (" +
              operation_ + ")");
  batch_.push_back(std::move(t));
  steps_.emplace_back(k, total);
  // The storage of a table already built goes back to the caller for its next one.
  if (!spare_.empty()) {
    t.lower = std::move(spare_.back());
    t.lower.clear();
    spare_.pop_back();
  }
  if (static_cast<int>(batch_.size()) >= 2 * settings_.threads) flush();
}

std::shared_ptr<RunResult> TreeRun::finish() {
  flush();
  if (toshard_) return toshard_(TreeTally{reference_, *support_, consensus_, reps_});
  if (count_ > 0) support_->label(reference_);
  const std::string text = newick(reference_);
  tree_.text(text);
  if (cons_) cons_.text(newick(consensus_.build(), false));
  commitall({&tree_, &reps_, &cons_}, operation_);
  if (!reps_.path().empty()) ctx_.report.print("--- Replicate tables: %d\n", count_);
  auto result = std::make_shared<RunResult>();
  for (OutputFile* f : {&tree_, &cons_, &reps_})
    if (!f->path().empty()) {
      ctx_.report.print("Output file: %s\n", f->path().c_str());
      result->wrote(f->path());
    }
  result->treefile = tree_.path();
  // The tree as its file gives it (lengths to ten digits, support to one
  // decimal), so that a picture shows what the file holds.
  if (ctx_.keepresults) result->tree = std::make_shared<const Tree>(readnewick(text, tree_.path()));
  result->table = std::move(table_);
  return result;
}

Tree TreeRun::build(DistanceTable&& t, const TreeSettings& s) const {
  return upgma_ ? upgma(std::move(t.names), std::move(t.lower), s)
                : neighborjoining(std::move(t.names), std::move(t.lower), s);
}

void TreeRun::make(std::vector<std::string> names, LowerHalf* lower, Made& made) const {
  TreeSettings one = settings_;
  one.threads = 1;
  made.tree = upgma_ ? upgma(std::move(names), lower, one) : neighborjoining(std::move(names), lower, one);
  made.edges = splits(made.tree);
  made.line = newick(made.tree);
}

// Counted and written in replicate order.
void TreeRun::take(Made& made, int k, int total) {
  progress_.step(k, total);
  support_->add(made.edges);
  if (cons_) consensus_.add(made.tree, std::move(made.edges));
  reps_.text(made.line);
  ++count_;
  if (reps_.failed())
    errorstop(filefault("Error: can't write output file " + reps_.path() + " (" + operation_ + ")", reps_.path(),
                        reps_.error()));
}

void TreeRun::flush() {
  if (batch_.empty()) return;
  const std::size_t count = batch_.size();
  std::vector<Made> made(count);
  parallelfor(static_cast<int>(count), settings_.threads, [&](int b) {
    const auto k = static_cast<std::size_t>(b);
    make(std::move(batch_[k].names), &batch_[k].lower, made[k]);
  });
  for (std::size_t b = 0; b < count; ++b) take(made[b], steps_[b].first, steps_[b].second);
  for (DistanceTable& t : batch_) spare_.push_back(std::move(t.lower));
  batch_.clear();
  steps_.clear();
}

}  // namespace lorvane
