// "Bootstrap computation": R replicates of the band columns drawn at random
// with replacement; each replicate's Jaccard or Dice distance table (and the
// Jukes-Cantor corrected one for Dice) appended as a triangle text matrix.
#include "aflp/bootstrap.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "aflp/random.h"
#include "aflp/tablewriters.h"
#include "core/messages.h"
#include "core/threadpool.h"

namespace lorvane {

int drawcolumn(int v, int m) {
  const float c = 1.0f / 32767.0f;
  return 1 + static_cast<int>(static_cast<double>(v) * static_cast<double>(c) * static_cast<double>(m));
}

int drawwidecolumn(int v1, int v2, int m) {
  const std::uint64_t v = static_cast<std::uint64_t>(v1) * 32768u + static_cast<std::uint64_t>(v2);
  return 1 + static_cast<int>((v * static_cast<std::uint64_t>(m)) >> 30);
}

void ReplicateDraws::next(std::vector<int>& drawn) {
  drawn.assign(static_cast<std::size_t>(m_), 0);
  for (int col = 1; col <= w_; ++col) {
    int q;
    if (m_ <= 32768) {
      q = drawcolumn(rng_.next(), m_);
    } else {
      const int v1 = rng_.next();
      q = drawwidecolumn(v1, rng_.next(), m_);
    }
    ++drawn[static_cast<std::size_t>(q - 1)];
  }
}

void ReplicateDraws::skip(int replicates) {
  const std::uint64_t values = m_ <= 32768 ? 1 : 2;
  rng_.skip(static_cast<std::uint64_t>(std::max(replicates, 0)) * static_cast<std::uint64_t>(w_) * values);
}

int replicatewidth(int m, double k) {
  const double product = static_cast<double>(m) * k;
  if (product > 2147483647.0) errorstop("Error: insufficient memory (taballoc)");
  return static_cast<int>(product);
}

namespace {

// What every replicate of a run shares.
struct BootstrapRun {
  const ComputeContext& cc;
  PairEvents& events;
  const BandData& d;
  const PairTable& table;
  std::vector<std::pair<Output*, Figure>> files;  // the distance file, then the corrected one
  int threads;

  std::vector<std::unique_ptr<TableWriter>> writers(TableWriter::Mode mode) const {
    std::vector<std::unique_ptr<TableWriter>> w;
    for (const auto& [out, figure] : files)
      w.push_back(std::make_unique<TableWriter>(*out, figure, OutputForm::Text, d.names, mode, d.namewidth));
    return w;
  }
  // The warning lines of a replicate (they depend on the bands only).
  void warn(const PairSource& source) const { PairNotices(events, source, nullptr, nullptr).upto(d.n); }
};

std::vector<PairConsumer*> consumersof(const std::vector<std::unique_ptr<TableWriter>>& writers) {
  std::vector<PairConsumer*> c;
  for (const auto& w : writers) c.push_back(w.get());
  return c;
}

// Large replicates: one at a time, the rows of each block over the threads.
void streamed(BootstrapRun& run, ReplicateDraws& draws, ProgressWindow& progress, int repetitions) {
  PairSource source(run.d.bits, run.cc.settings, run.threads, run.d.scoredbits());
  const auto writers = run.writers(TableWriter::Mode::Streamed);
  const std::vector<PairConsumer*> consumers = consumersof(writers);
  const TableShape shape{RowSpan::Upper, run.threads, run.cc.settings.rowsperblock(run.d.n)};
  std::vector<int> drawn;
  for (int t = 1; t <= repetitions; ++t) {
    draws.next(drawn);
    progress.step(t, repetitions);
    try {
      source.weigh(drawn);
    } catch (const std::bad_alloc&) {
      errorstop("Error: insufficient memory (calcboot)");
    }
    run.warn(source);
    run.table.run(source, shape, consumers);
  }
}

// Small replicates: a batch of them side by side, each whole on one thread,
// written in replicate order while the next batch is computed.
void batched(BootstrapRun& run, ReplicateDraws& draws, ProgressWindow& progress, int repetitions, int batch) {
  struct Slot {
    std::vector<int> drawn;
    PairSource source;
    std::vector<std::unique_ptr<TableWriter>> writers;
    std::vector<PairConsumer*> consumers;
  };
  std::vector<std::unique_ptr<Slot>> sets[2];
  for (auto& set : sets)
    for (int b = 0; b < batch; ++b) {
      set.push_back(std::make_unique<Slot>(Slot{{}, PairSource(run.d.bits, run.cc.settings, 1, run.d.scoredbits()), {}, {}}));
      set.back()->writers = run.writers(TableWriter::Mode::Whole);
      set.back()->consumers = consumersof(set.back()->writers);
    }
  std::vector<std::unique_ptr<BackgroundWriter>> files;
  for (const auto& f : run.files) files.push_back(std::make_unique<BackgroundWriter>(*f.first));
  const TableShape shape{RowSpan::Upper, 1, std::max(run.d.n, 1)};
  for (int t0 = 1, set = 0; t0 <= repetitions; t0 += batch, set ^= 1) {
    std::vector<std::unique_ptr<Slot>>& slots = sets[set];
    const int count = std::min(batch, repetitions - t0 + 1);
    for (int b = 0; b < count; ++b) draws.next(slots[static_cast<std::size_t>(b)]->drawn);
    try {
      parallelfor(count, run.threads, [&](int b) {
        Slot& slot = *slots[static_cast<std::size_t>(b)];
        slot.source.weigh(slot.drawn);
        run.table.run(slot.source, shape, slot.consumers);
      });
    } catch (const std::bad_alloc&) {
      errorstop("Error: insufficient memory (calcboot)");
    }
    for (auto& f : files) f->wait();
    for (int b = 0; b < count; ++b) {
      progress.step(t0 + b, repetitions);
      run.warn(slots[static_cast<std::size_t>(b)]->source);
    }
    for (std::size_t f = 0; f < files.size(); ++f)
      files[f]->start([&out = files[f]->output().file, &slots, count, f] {
        for (int b = 0; b < count; ++b) writerows(out, &slots[static_cast<std::size_t>(b)]->writers[f]->table(), 1);
      });
  }
  for (auto& f : files) f->wait();
}

}  // namespace

void writereplicates(const ComputeContext& cc, const BandData& d, const ReplicateFiles& files, PairEvents& events) {
  const DistanceOptions& o = files.options;
  const PairTable table(o, files.width, "calcboot");
  BootstrapRun run{cc, events, d, table, {{&files.distance, Figure::Distance}}, cc.settings.threadcount()};
  if (files.corrected) run.files.push_back({files.corrected, Figure::Corrected});
  ReplicateDraws draws(d.m, files.width, files.seed);
  draws.skip(files.first - 1);
  ProgressWindow progress(cc.ws, "Computing bootstraps");
  const int batch = cc.settings.replicatesperbatch(static_cast<long long>(d.n) * (d.n - 1) / 2);
  if (batch > 1)
    batched(run, draws, progress, files.repetitions, batch);
  else
    streamed(run, draws, progress, files.repetitions);
}

namespace {

// The table of one figure for every replicate of a run, and their draws.
struct ReplicateTables {
  ReplicateTables(const ComputeSettings& settings, const BandData& d, const DistanceOptions& options, Figure figure,
                  int repetitions, const ReplicateShare& share)
      : width(replicatewidth(d.m, options.k)),
        table(options, figure, width, "bootstraptables",
              static_cast<long long>(d.n) * (d.n - 1) / 2 * std::max(share.total > 0 ? share.total : repetitions, 0)),
        draws(d.m, width, settings.seedvalue()) {
    draws.skip(share.first - 1);
  }
  int width;
  FigureTable table;
  ReplicateDraws draws;
};

}  // namespace

void bootstraptables(const ComputeSettings& settings, const BandData& d, const DistanceOptions& options,
                     Figure figure, int repetitions, const ReplicateTableFunction& each,
                     const ReplicateShare& share) {
  const int threads = settings.threadcount();
  PairSource source(d.bits, settings, threads, d.scoredbits());
  HalfTable t;
  const TableShape shape{RowSpan::Upper, threads, settings.rowsperblock(d.n)};
  if (share.reference) {
    FigureTable(options, figure, source.ceiling(), "bootstraptables").run(source, shape, t);
    each(0, t);
  }
  if (repetitions <= 0) return;
  ReplicateTables replicates(settings, d, options, figure, repetitions, share);
  const FigureTable& table = replicates.table;
  ReplicateDraws& draws = replicates.draws;
  std::vector<int> drawn;
  for (int k = share.first; k < share.first + repetitions; ++k) {
    draws.next(drawn);
    source.weigh(drawn);
    table.run(source, shape, t);
    each(k, t);
  }
}

void bootstrapbatches(const ComputeSettings& settings, const BandData& d, const DistanceOptions& options,
                      Figure figure, int repetitions, int batch, const ReplicateBuildFunction& build,
                      const ReplicateTakeFunction& take, const ReplicateShare& share) {
  ReplicateTables replicates(settings, d, options, figure, repetitions, share);
  const int first = share.first;
  // Each thread works in its own source and table, which stay in its
  // processor's cache from one replicate to the next, and takes the next
  // replicate of the batch when it is done with one (a thread that the
  // machine holds back takes fewer).
  struct Scratch {
    PairSource source;
    HalfTable table;
  };
  const int threads = std::max(1, settings.threadcount());
  batch = std::max(1, std::min(batch, repetitions));
  std::vector<std::unique_ptr<Scratch>> scratch;
  for (int t = 0; t < std::min(threads, batch); ++t)
    scratch.push_back(std::make_unique<Scratch>(Scratch{PairSource(d.bits, settings, 1, d.scoredbits()), {}}));
  std::vector<std::vector<int>> drawn(static_cast<std::size_t>(batch));
  std::vector<std::exception_ptr> errors(static_cast<std::size_t>(batch));
  // Blocks of a few rows keep the counts in the first-level cache.
  const TableShape shape{RowSpan::Upper, 1, 16};
  for (int k0 = 1; k0 <= repetitions; k0 += batch) {
    const int count = std::min(batch, repetitions - k0 + 1);
    for (int b = 0; b < count; ++b) replicates.draws.next(drawn[static_cast<std::size_t>(b)]);
    const int workers = std::min(static_cast<int>(scratch.size()), count);
    std::atomic<int> next{0};
    parallelfor(workers, workers, [&](int t) {
      Scratch& mine = *scratch[static_cast<std::size_t>(t)];
      for (int b = next.fetch_add(1); b < count; b = next.fetch_add(1)) {
        try {
          try {
            mine.source.weigh(drawn[static_cast<std::size_t>(b)]);
          } catch (const std::bad_alloc&) {
            errorstop("Error: insufficient memory (bootstraptables)");
          }
          replicates.table.run(mine.source, shape, mine.table);
          build(first - 1 + k0 + b, mine.table, b);
        } catch (...) {
          errors[static_cast<std::size_t>(b)] = std::current_exception();
          return;  // the replicates after it are never taken
        }
      }
    });
    for (int b = 0; b < count; ++b) {
      if (errors[static_cast<std::size_t>(b)]) std::rethrow_exception(errors[static_cast<std::size_t>(b)]);
      take(first - 1 + k0 + b, b);
    }
  }
}

}  // namespace lorvane
