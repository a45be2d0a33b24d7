#include "aflp/treeoptions.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <optional>

#include "aflp/bands.h"
#include "aflp/bootstrap.h"
#include "aflp/distance.h"
#include "aflp/paircount.h"
#include "core/convert.h"
#include "core/messages.h"
#include "core/textio.h"
#include "core/threadpool.h"
#include "trees/tree.h"

namespace lorvane {

std::uint32_t boottables(RunContext& ctx, const BootstrapRequest& request, const ReplicateTable& each,
                         const ReplicateSlots* slots) {
  checkparameters(request.r, request.k, "boottree");
  const DistanceOptions o = DistanceOptions::simple(request.r, request.k, request.index, request.jukescantor, 0);
  if (o.index == DistanceIndex::Other) errorstop("Error: the index must be 1, 2 or 3 (boottree)");
  const Figure figure = o.index == DistanceIndex::NeiLi ? Figure::NeiLi : o.correction ? Figure::Corrected : Figure::Distance;
  ctx.report.print("Lorvane: Reading input file\n");
  const BandData d = readbands(ctx, request.path, ReadMode::Bootstrap);
  std::vector<std::string> names;
  for (int i = 1; i <= d.n; ++i) {
    std::string name = d.names[i];
    while (!name.empty() && name.back() == ' ') name.pop_back();
    names.push_back(std::move(name));
  }
  // One seed for the draws and the report line (the clock's changes).
  RunContext fixed{ctx.ws, ctx.report, ctx.settings};
  fixed.settings.seed = ctx.settings.seedvalue();
  DistanceTable t;
  const int batch = slots ? fixed.settings.replicatesperbatch(static_cast<long long>(d.n) * (d.n - 1) / 2) : 1;
  const bool sidebyside = batch > 1 && request.repetitions > 1;
  bootstraptables(fixed, d, o, figure, sidebyside ? 0 : request.repetitions, [&](int k, HalfTable& half) {
    t.names = names;
    t.lower = std::move(half.lower);
    each(k, t);
  });
  if (sidebyside) {
    slots->begin(batch);
    bootstrapbatches(fixed, d, o, figure, request.repetitions, batch, slots->build, slots->take);
  }
  return *fixed.settings.seed;
}

int intanswer(const std::string& a, int empty) { return a.empty() ? empty : texttoint(a); }

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

OutputFile openoutput(const std::string& path, const char* operation) {
  OutputFile f = OutputFile::open(path);
  if (!f) errorstop(filefault("Error: can't open output file " + path + " (" + operation + ")", path, errno));
  return f;
}

void readreport(RunContext& ctx, const std::string& path, const TableReader& reader, const DistanceTable& t) {
  ctx.report.print("Input file: %s\n", path.c_str());
  ctx.report.print("--- Format: %s, number of rows: %d, columns: %d\n", formatname(reader.format()), t.size(),
                   t.size());
}

namespace {

// Tables computed in memory (the readers refuse these themselves): a pair
// without a finite distance stops the run; no tree is built on 999s.
void checkfinite(const LowerHalf& lower, const std::vector<std::string>& names, int k) {
  const int n = static_cast<int>(names.size());
  for (int i = 1; i < n; ++i)
    for (int j = 0; j < i; ++j) {
      const double v = lower[DistanceTable::at(i, j)];
      if (!std::isfinite(v) || v == 999.0)
        errorstop("Error: strains " + std::to_string(j + 1) + " (" + names[static_cast<std::size_t>(j)] + ") and " +
                  std::to_string(i + 1) + " (" + names[static_cast<std::size_t>(i)] + ") have no finite distance" + (k > 0 ? " in replicate " + std::to_string(k) : std::string()) +
                  " (boottree)");
    }
}

// The tree of a reference table, then the trees of its replicates: the
// support of the reference's edges, the consensus, and one Newick line per
// replicate. Replicates are built a batch at a time, one per thread.
class TreeRun {
 public:
  TreeRun(RunContext& ctx, const std::string& stem, int method, bool replicates, bool consensus,
          const char* operation)
      : ctx_(ctx), stem_(stem), upgma_(method == 2), operation_(operation),
        progress_(ctx.ws, "Building trees") {
    settings_.threads = ctx.settings.threadcount();
    tree_ = openoutput(stem + ".nwk", operation);
    if (replicates) reps_ = openoutput(stem + ".reps.nwk", operation);
    if (replicates && consensus) cons_ = openoutput(stem + ".cons.nwk", operation);
  }

  void reference(DistanceTable&& t) {
    names_ = t.names;
    TreeSettings s = settings_;
    s.progress = [this](int done, int total) { progress_.step(done, total); };
    ctx_.report.print("Lorvane: Building tree\n");
    ctx_.report.print(upgma_ ? "Method = UPGMA\n" : "Method = neighbor-joining\n");
    reference_ = build(std::move(t), s);
    support_.emplace(reference_);
  }

  // Replicate k; total is the count expected (an estimate while reading).
  void replicate(DistanceTable&& t, int k, int total) {
    if (t.names != names_)
      errorstop("Error: replicate table " + std::to_string(k) + " holds other strains than the reference table (" +
                operation_ + ")");
    batch_.push_back(std::move(t));
    steps_.emplace_back(k, total);
    // The storage of a table already built goes back to the caller for
    // its next one.
    if (!spare_.empty()) {
      t.lower = std::move(spare_.back());
      t.lower.clear();
      spare_.pop_back();
    }
    if (static_cast<int>(batch_.size()) >= 2 * settings_.threads) flush();
  }

  // Replicates whose tables are made on the worker threads too: `slots`
  // trees under way at once, made(k, table, slot) there, taken in order.
  const std::vector<std::string>& names() const { return names_; }
  void beginslots(int slots) { slots_.resize(static_cast<std::size_t>(slots)); }
  void made(HalfTable& table, int slot) { make(names_, &table.lower, slots_[static_cast<std::size_t>(slot)]); }
  void taken(int k, int total, int slot) { take(slots_[static_cast<std::size_t>(slot)], k, total); }

  void finish() {
    flush();
    if (count_ > 0) support_->label(reference_);
    tree_.text(newick(reference_));
    if (cons_) cons_.text(newick(consensus_.build(), false));
    commitall({&tree_, &reps_, &cons_}, operation_);
    for (OutputFile* f : {&tree_, &cons_, &reps_})
      if (!f->path().empty()) filedone(f->path());
    if (!reps_.path().empty()) ctx_.report.print("--- Replicate tables: %d\n", count_);
    for (OutputFile* f : {&tree_, &cons_, &reps_})
      if (!f->path().empty()) ctx_.report.print("Output file: %s\n", f->path().c_str());
  }

 private:
  Tree build(DistanceTable&& t, const TreeSettings& s) const {
    return upgma_ ? upgma(std::move(t.names), std::move(t.lower), s)
                  : neighborjoining(std::move(t.names), std::move(t.lower), s);
  }

  // A replicate's tree, its splits and its Newick line, made on a worker thread.
  struct Made {
    Tree tree;
    std::vector<Split> edges;
    std::string line;
  };

  void make(std::vector<std::string> names, LowerHalf* lower, Made& made) const {
    TreeSettings one = settings_;
    one.threads = 1;
    made.tree = upgma_ ? upgma(std::move(names), lower, one) : neighborjoining(std::move(names), lower, one);
    made.edges = splits(made.tree);
    made.line = newick(made.tree);
  }

  // Counted and written in replicate order.
  void take(Made& made, int k, int total) {
    progress_.step(k, total);
    support_->add(made.edges);
    if (cons_) consensus_.add(made.tree, std::move(made.edges));
    reps_.text(made.line);
    ++count_;
    if (reps_.failed())
      errorstop(filefault("Error: can't write output file " + reps_.path() + " (" + operation_ + ")", reps_.path(),
                          reps_.error()));
  }

  void flush() {
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

  RunContext& ctx_;
  std::string stem_;
  bool upgma_;
  const char* operation_;
  ProgressWindow progress_;
  TreeSettings settings_;
  OutputFile tree_, reps_, cons_;
  std::vector<std::string> names_;
  Tree reference_;
  std::optional<SupportCounter> support_;
  Consensus consensus_;
  std::vector<DistanceTable> batch_;
  std::vector<LowerHalf> spare_;
  std::vector<std::pair<int, int>> steps_;
  std::vector<Made> slots_;
  int count_ = 0;
};

void treefromtable(RunContext& ctx, const std::string& path, int method, const std::string& replicates,
                   bool consensus) {
  ctx.report.print("Lorvane: Reading distance table\n");
  TableReader reader(path);
  DistanceTable t;
  if (!reader.next(t)) errorstop("Error: " + path + " holds no table (treefromtable)");
  readreport(ctx, path, reader, t);
  TreeRun run(ctx, outputstem(ctx, path), method, !replicates.empty(), consensus, "treefromtable");
  run.reference(std::move(t));
  if (!replicates.empty()) {
    ctx.report.print("Replicate file: %s\n", replicates.c_str());
    TableReader reps(replicates);
    for (int k = 1; reps.next(t); ++k) {
      // The count of tables is not known before the end: estimated from
      // the share of the file read so far.
      const double read = reps.fraction();
      const int total = read > 0 ? std::max(k, static_cast<int>(std::lround(k / read))) : k;
      run.replicate(std::move(t), k, total);
    }
  }
  run.finish();
}

void boottree(RunContext& ctx, const BootstrapRequest& request, int method) {
  ctx.report.print("Lorvane: Bootstrap tree\n");
  TreeRun run(ctx, outputstem(ctx, request.path), method, true, true, "boottree");
  const ReplicateSlots slots{[&](int batch) { run.beginslots(batch); },
                             [&](int k, HalfTable& t, int slot) {
                               checkfinite(t.lower, run.names(), k);
                               run.made(t, slot);
                             },
                             [&](int k, int slot) { run.taken(k, request.repetitions, slot); }};
  const std::uint32_t seed = boottables(
      ctx, request,
      [&](int k, DistanceTable& t) {
        checkfinite(t.lower, t.names, k);
        if (k == 0)
          run.reference(std::move(t));
        else
          run.replicate(std::move(t), k, request.repetitions);
      },
      &slots);
  run.finish();
  ctx.report.print("Random number seed: %u\n", seed);
}

void convert(RunContext& ctx, const std::string& path, int format) {
  ctx.report.print("Lorvane: Converting distance table\n");
  const char* extension = format == 2 ? ".lower.phy" : format == 3 ? ".csv" : ".phy";
  TableReader reader(path);
  DistanceTable t;
  const std::string outpath = outputstem(ctx, path) + extension;
  OutputFile out = openoutput(outpath, "convert");
  ProgressWindow progress(ctx.ws, "Converting tables");
  int n = 0;
  while (reader.next(t)) {
    n = t.size();
    const int k = reader.tablesread();
    const double read = reader.fraction();
    progress.step(k, read > 0 ? std::max(k, static_cast<int>(std::lround(k / read))) : k);
    out.text(format == 2 ? phyliplower(t) : format == 3 ? csvtable(t) : phylipsquare(t));
    if (out.failed())
      errorstop(filefault("Error: can't write output file " + out.path() + " (convert)", out.path(), out.error()));
  }
  if (reader.tablesread() == 0) errorstop("Error: " + path + " holds no table (convert)");
  OutputFile none;
  commitall({&out, &none}, "convert");
  filedone(out.path());
  ctx.report.print("Input file: %s\n", path.c_str());
  ctx.report.print("--- Format: %s, tables: %d, number of rows: %d, columns: %d\n", formatname(reader.format()),
                   reader.tablesread(), n, n);
  ctx.report.print("Output file: %s\n", outpath.c_str());
}

}  // namespace

bool runtreeoption(RunContext& ctx, const std::array<std::string, 11>& a, int option) {
  if (a[1].empty()) return false;
  const std::string path = a[1].substr(0, 255);
  switch (option) {
    case 3:
      treefromtable(ctx, path, intanswer(a[2], 1), a[3].substr(0, 255), intanswer(a[4], 0) == 1);
      return true;
    case 4: {
      if (a[2].empty() || a[6].empty()) return false;
      BootstrapRequest request;
      request.path = path;
      request.r = texttoint(a[2]);
      request.k = a[3].empty() ? 1.0f : static_cast<float>(texttoreal(a[3]));
      request.index = intanswer(a[4], 1);
      request.jukescantor = intanswer(a[5], 0);
      request.repetitions = texttoint(a[6]);
      boottree(ctx, request, intanswer(a[7], 1));
      return true;
    }
    case 5:
      convert(ctx, path, intanswer(a[2], 1));
      return true;
  }
  return false;
}

}  // namespace lorvane
