#include "runs/treerun.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <unordered_set>

#include "core/interrupt.h"
#include "core/threadpool.h"
#include "core/messages.h"
#include "runs/runsupport.h"

namespace lorvane {

namespace {

// A tree of n strains adds up to about 3n distances in its sums and
// criteria: tables with larger distances than a quarter of the largest
// number over n are refused, so that no length or sum is infinite.
void checkrange(const LowerHalf& lower, std::size_t n, int k, const char* operation) {
  double largest = 0;
  for (double v : lower) largest = std::max(largest, std::abs(v));
  if (largest <= DBL_MAX / (4.0 * static_cast<double>(std::max<std::size_t>(n, 1)))) return;
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", largest);
  errorstop("Error: the distances of " + (k > 0 ? "replicate table " + std::to_string(k) : std::string("the table")) +
            " reach " + text + ": with " + std::to_string(n) +
            " strains the tree's lengths would go beyond the largest number (" + operation + ")");
}

// No length of a finished tree is infinite or not a number.
void checklengths(const Tree& t, int k, const char* operation) {
  for (const Tree::Node& node : t.nodes)
    if (!std::isfinite(node.length))
      errorstop("Error: the tree of " + (k > 0 ? "replicate table " + std::to_string(k) : std::string("the table")) +
                " has a length beyond the largest number (" + operation + ")");
}

}  // namespace

TreeRun::TreeRun(RunContext& ctx, const std::string& stem, TreeMethod method, bool replicates, bool consensus,
                 const char* operation)
    : ctx_(ctx), upgma_(method == TreeMethod::Upgma), operation_(operation), progress_(ctx.ws, "Building trees") {
  settings_.threads = ctx.settings.threadcount();
  tree_ = openoutput(stem + ".nwk", operation);
  if (replicates) reps_ = openoutput(stem + ".reps.nwk", operation);
  if (replicates && consensus) cons_ = openoutput(stem + ".cons.nwk", operation);
}

void TreeRun::strains(const std::vector<std::string>& names) {
  std::unordered_set<std::string_view> seen;
  for (const std::string& name : names)
    if (!seen.insert(name).second)
      errorstop("Error: two strains have the name " + name + ": every leaf of a tree needs a name of its own (" +
                operation_ + ")");
  names_ = names;
  ctx_.report.print("Lorvane: Building tree\n");
  ctx_.report.print(upgma_ ? "Method = UPGMA\n" : "Method = neighbor-joining\n");
}

void TreeRun::reference(DistanceTable&& t, bool keeptable) {
  strains(t.names);
  checkrange(t.lower, t.names.size(), 0, operation_);
  if (keeptable) table_ = std::make_shared<const DistanceTable>(t);
  TreeSettings s = settings_;
  s.progress = [this](int done, int total) { progress_.step(done, total); };
  reference_ = build(std::move(t), s);
  checklengths(reference_, 0, operation_);
  // A shard's merge takes the support from the counts of every split.
  if (!toshard_) support_.emplace(reference_);
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
  if (toshard_) return toshard_(TreeTally{reference_.nodes.empty() ? nullptr : &reference_, consensus_, reps_});
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

void TreeRun::beginslots(int slots) {
  slots_.resize(static_cast<std::size_t>(slots));
  // Each slot's storage taken once, large enough for most trees: a tree of
  // n strains has fewer than n splits, and its Newick line seldom more than
  // 40 characters a strain.
  const std::size_t n = names_.size(), words = (n + 63) / 64;
  for (Made& m : slots_) {
    m.edges.bits.reserve(n * words);
    m.edges.nodes.reserve(n);
    m.line.reserve(40 * n);
  }
}

Tree TreeRun::build(DistanceTable&& t, const TreeSettings& s) const {
  return upgma_ ? upgma(std::move(t.names), std::move(t.lower), s)
                : neighborjoining(std::move(t.names), std::move(t.lower), s);
}

void TreeRun::make(std::vector<std::string> names, LowerHalf* lower, int k, Made& made) const {
  TreeSettings one = settings_;
  one.threads = 1;
  one.progress = [](int, int) { checkinterrupt(); };
  checkrange(*lower, names.size(), k, operation_);
  const Tree tree = upgma_ ? upgma(std::move(names), lower, one) : neighborjoining(std::move(names), lower, one);
  checklengths(tree, k, operation_);
  edgesplits(tree, made.edges);
  made.line.assign(newick(tree));  // into the storage of the slot's earlier line
}

// Counted and written in replicate order.
void TreeRun::take(Made& made, int k, int total) {
  progress_.step(k, total);
  if (support_) support_->add(made.edges);
  if (cons_) consensus_.add(names_, upgma_, made.edges);
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
    make(std::move(batch_[k].names), &batch_[k].lower, steps_[k].first, made[k]);
  });
  for (std::size_t b = 0; b < count; ++b) take(made[b], steps_[b].first, steps_[b].second);
  for (DistanceTable& t : batch_) spare_.push_back(std::move(t.lower));
  batch_.clear();
  steps_.clear();
}

}  // namespace lorvane
