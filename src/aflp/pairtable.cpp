// Tables of pair figures: the formulas of a pair, the sources of shared-band
// counts, the row-block driver that spreads the rows of a block over the
// worker threads, the notices of the pair loop and the in-memory table.
#include "aflp/pairtable.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include <sys/mman.h>

#include "aflp/formulas.h"
#include "core/fixedformat.h"
#include "core/interrupt.h"
#include "core/messages.h"
#include "core/threadpool.h"

namespace lorvane {

DistanceOptions DistanceOptions::simple(int r, float k, DistanceIndex index, bool jukescantor, bool binary) {
  DistanceOptions o;
  const int code = static_cast<int>(index);
  o.index = code >= 1 && code <= 3 ? index : DistanceIndex::Other;
  o.k = k;
  o.r = r;
  o.correction = o.index == DistanceIndex::Dice && jukescantor;
  o.form = binary ? OutputForm::Binary : OutputForm::Text;
  return o;
}

DistanceOptions DistanceOptions::bootstrap(int r, float k, DistanceIndex index) {
  DistanceOptions o;
  o.index = index == DistanceIndex::Jaccard ? DistanceIndex::Jaccard : DistanceIndex::Dice;
  o.k = k;
  o.r = r;
  o.correction = o.index == DistanceIndex::Dice;
  return o;
}

double PairFigures::value(Figure f) const {
  switch (f) {
    case Figure::Distance: return distance;
    case Figure::Similarity: return similarity;
    case Figure::Shared: return shared;
    case Figure::Corrected: return corrected;
    case Figure::NeiLi: return neili;
  }
  return 0;
}

namespace {
constexpr unsigned bit(Figure f) { return 1u << static_cast<int>(f); }

// A finite value, or 999 with the figure marked as missing.
double kept(PairFigures& p, Figure f, double v) {
  if (std::isfinite(v)) return v;
  p.missing |= bit(f);
  return kNoValue;
}
}  // namespace

PairFigures PairFormulas::nothingcompared(std::int64_t shared) {
  PairFigures f{};
  f.shared = shared == 0 ? 1 : static_cast<double>(shared);
  f.distance = f.similarity = f.corrected = f.neili = kNoValue;
  f.missing = bit(Figure::Distance) | bit(Figure::Similarity) | bit(Figure::Corrected) | bit(Figure::NeiLi);
  return f;
}

PairFigures PairFormulas::operator()(std::int64_t shared, long long b, long long c) const {
  PairFigures f{};
  const int a = shared == 0 ? 1 : static_cast<int>(shared);
  f.shared = a;
  switch (options_.index) {
    case DistanceIndex::Jaccard:
      f.similarity = jaccardform(a, b, c, options_.k);
      f.distance = kept(f, Figure::Distance, sitedistance(f.similarity, options_.r));
      break;
    case DistanceIndex::Dice:
      f.similarity = diceform(a, b, c, options_.k);
      f.distance = kept(f, Figure::Distance, sitedistance(f.similarity, options_.r));
      if (!options_.correction) break;
      if (f.distance < 0.75) {
        f.corrected = kept(f, Figure::Corrected, jukescantorcorrection(f.distance));
      } else {
        f.corrected = kNoValue;
        f.missing |= bit(Figure::Corrected);
        f.nocorrection = true;
      }
      break;
    case DistanceIndex::NeiLi:
      f.similarity = diceform(a, b, c, options_.k);
      f.neili = neili(f.similarity, options_.r);
      if (f.neili == kNoValue) f.missing |= bit(Figure::NeiLi);
      break;
    case DistanceIndex::Other:
      break;
  }
  return f;
}

PairSource::PairSource(const BitMatrix& bits, const ComputeSettings& settings, int threads, const BitMatrix* scored)
    : bits_(bits),
      scored_(scored),
      ceiling_(bits.bits()),
      bands_(static_cast<std::size_t>(bits.rows()) + 1, 0),
      counter_(bits, nullptr, 0, pairkernel(settings.kernel), threads) {
  if (scored_)
    differ_ = std::make_unique<PairCounter>(bits, nullptr, 0, pairkernel(settings.kernel), threads, scored_);
  for (int i = 1; i <= bits.rows(); ++i)
    bands_[static_cast<std::size_t>(i)] = static_cast<int>(sharedcount(bits, i - 1, i - 1, nullptr, 0));
}

void PairSource::weigh(const std::vector<int>& drawn) {
  // Plane t holds bit t of each column's draws.
  const int most = drawn.empty() ? 0 : *std::max_element(drawn.begin(), drawn.end());
  nplanes_ = static_cast<int>(std::bit_width(static_cast<unsigned>(most)));
  const long long columns = bits_.bits();
  if (planes_.empty() || planes_.rows() < std::max(nplanes_, 1)) planes_ = BitMatrix(std::max(nplanes_, 1), columns);
  planes_.clear();
  long long total = 0;
  for (long long q = 0; q < columns; ++q) {
    const int times = drawn[static_cast<std::size_t>(q)];
    total += times;
    for (int b = 0; b < nplanes_; ++b)
      if ((times >> b) & 1) planes_.set(b, q);
  }
  empty_ = nplanes_ == 0;
  ceiling_ = total;
  counter_.setplanes(&planes_, nplanes_);
  if (differ_) differ_->setplanes(&planes_, nplanes_);
  for (int i = 1; i <= strains(); ++i)
    bands_[static_cast<std::size_t>(i)] =
        empty_ ? 0 : static_cast<int>(sharedcount(bits_, i - 1, i - 1, &planes_, nplanes_));
}

void PairSource::count(int r0, int r1, RowSpan span) {
  if (empty_) return;
  const bool upper = span == RowSpan::Upper;
  counter_.count(r0, r1, upper ? r0 : 0, strains(), upper);
  if (differ_) differ_->count(r0, r1, upper ? r0 : 0, strains(), upper);
}

bool PairSource::nothingcompared(int i, int j) const {
  return scored_ && (empty_ || sharedcount(*scored_, i - 1, j - 1, nplanes_ > 0 ? &planes_ : nullptr, nplanes_) == 0);
}

std::int64_t PairSource::sharedpair(int i, int j) const {
  if (empty_) return 0;
  return sharedcount(bits_, i - 1, j - 1, nplanes_ > 0 ? &planes_ : nullptr, nplanes_);
}

PairNotices::PairNotices(PairEvents& events, const PairSource& source, const PairFormulas* corrections,
                         ProgressWindow* progress)
    : events_(events),
      source_(source),
      corrections_(corrections),
      progress_(progress),
      pending_(corrections ? static_cast<std::size_t>(source.strains()) + 1 : 0) {
  for (int i = 1; i <= source.strains(); ++i)
    if (source.bands(i) == 0) bandless_.push_back(i);
}

void PairNotices::upto(int strain) {
  const int n = source_.strains();
  for (; next_ <= strain; ++next_) {
    const int i = next_;
    if (progress_) progress_->step(i, n);
    const int b = source_.bands(i);
    std::vector<int>* late = corrections_ ? &pending_[static_cast<std::size_t>(i)] : nullptr;
    // Two ascending lists of j < i merged (the flags come in row order): the warnings (every j when strain
    // i has no band, the strains without bands otherwise) and the messages.
    std::size_t z = 0, p = 0;
    const std::size_t zend = b == 0 ? static_cast<std::size_t>(i - 1) : bandless_.size();
    for (;;) {
      int jz = n + 1, jp = n + 1;
      if (z < zend) jz = b == 0 ? static_cast<int>(z) + 1 : bandless_[z];
      if (jz >= i) jz = n + 1;
      if (late && p < late->size()) jp = (*late)[p];
      const int j = std::min(jz, jp);
      if (j > n) break;
      if (j == jz) {
        events_.nobands(i, j, b, source_.bands(j));
        ++z;
      }
      if (j == jp) {
        const PairFigures f = (*corrections_)(source_.sharedpair(i, j), b, source_.bands(j));
        events_.nocorrection(i, j, f.distance);
        ++p;
      }
    }
    if (late) std::vector<int>().swap(*late);
  }
}

namespace {
void keeptext(const PairFigures& f, FigureText* text) {
  for (int k = 0; k < kFigures; ++k) {
    const auto figure = static_cast<Figure>(k);
    char field[kMaxFixedField];
    const float v = static_cast<float>(f.value(figure));
    const std::size_t length = figure == Figure::Shared ? fixed0field(field, v) : fixed3field(field, v);
    text[k].length = length <= sizeof text[k].text ? static_cast<std::uint8_t>(length) : 0;
    if (text[k].length) std::memcpy(text[k].text, field, length);
  }
}
}  // namespace

// Figures already worked out, by (a, b + c): they depend on these two only,
// since with K in single precision K c + K b is exact in double precision
// for the small counts the memo is kept for. The first thread to work one
// out stores it. The entries are zero bytes from calloc: only the pages of
// the pairs met take memory.
struct PairTable::Memo {
  // The text fields first: the text files read only the first cache line.
  struct alignas(64) Entry {
    FigureText text[kFigures];
    PairFigures figures;
  };
  struct Free {
    void operator()(void* p) const noexcept { std::free(p); }
  };
  long long rows = 0, cols = 0;
  std::unique_ptr<std::uint8_t[], Free> states;  // per entry: 0 empty, 1 being stored, 2 ready
  std::unique_ptr<Entry[], Free> entries;
};

PairTable::PairTable(const DistanceOptions& options, long long ceiling, const char* operation, long long pairs)
    : formulas_(options), operation_(operation) {
  const long long rows = ceiling + 1, cols = 2 * ceiling + 1;
  // A table run many times (the replicates of a bootstrap) meets the same
  // (a, b + c) again and again: a larger memo pays for itself there. Only
  // the pages of the pairs met take memory.
  const long long most = pairs >= (1LL << 23) ? (1LL << 22) : (1LL << 20);
  if (ceiling < 0 || ceiling >= most || rows * cols > most) return;
  const auto count = static_cast<std::size_t>(rows * cols);
  auto memo = std::make_shared<Memo>();
  memo->rows = rows;
  memo->cols = cols;
  memo->states.reset(static_cast<std::uint8_t*>(std::calloc(count, 1)));
  memo->entries.reset(static_cast<Memo::Entry*>(std::aligned_alloc(64, count * sizeof(Memo::Entry))));
  if (memo->states && memo->entries) memo_ = std::move(memo);  // otherwise each pair is worked out anew
}

// Flattened: the formulas are inlined into the loop over the pairs. A
// pair's figures are the memo's, or worked out into `scratch`.
[[gnu::flatten]] void PairTable::figures(const PairSource& s, int row, int bi, int j0, int j1, PairFigures* scratch,
                                         const PairFigures** out) const {
  Memo* memo = memo_.get();
  // The entries of a row lie far apart in a large memo: all of them asked
  // for first, so that their loads overlap.
  const bool pairwise = s.pairwise();
  if (memo && memo->rows * memo->cols > (1LL << 16))
    for (int j = j0; j <= j1; ++j) {
      const std::int64_t shared = s.shared(row, j - 1);
      const long long a = shared == 0 ? 1 : shared,
                      sum = pairwise ? 2 * shared + s.differ(row, j - 1) : static_cast<long long>(s.bands(j)) + bi;
      if (a >= memo->rows || sum >= memo->cols) continue;
      const auto at = static_cast<std::size_t>(a * memo->cols + sum);
      __builtin_prefetch(&memo->states[at]);
      __builtin_prefetch(&memo->entries[at].figures);
    }
  for (int j = j0; j <= j1; ++j) {
    const std::int64_t shared = s.shared(row, j - 1);
    const int bj = s.bands(j);
    PairFigures& f = scratch[j - j0];
    out[j - j0] = &f;
    // Pairwise, b + c counted over the bands scored in both strains: the
    // figures depend on their sum only.
    const long long sum = pairwise ? 2 * shared + s.differ(row, j - 1) : static_cast<long long>(bj) + bi;
    const long long a = shared == 0 ? 1 : shared;
    if (pairwise && sum == 0 && s.nothingcompared(row + 1, j)) {
      f = PairFormulas::nothingcompared(shared);
      continue;
    }
    if (!memo || a >= memo->rows || sum >= memo->cols) {
      f = pairwise ? formulas_(shared, sum, 0) : formulas_(shared, bj, bi);
      continue;
    }
    const auto at = static_cast<std::size_t>(a * memo->cols + sum);
    Memo::Entry& e = memo->entries[at];
    std::atomic_ref<std::uint8_t> state(memo->states[at]);
    if (state.load(std::memory_order_acquire) == 2) {
      out[j - j0] = &e.figures;
      continue;
    }
    f = pairwise ? formulas_(shared, sum, 0) : formulas_(shared, bj, bi);
    std::uint8_t empty = 0;
    if (state.compare_exchange_strong(empty, 1, std::memory_order_acq_rel)) {
      keeptext(f, e.text);
      e.figures = f;
      e.figures.text = e.text;
      state.store(2, std::memory_order_release);
    }
  }
}

void PairTable::row(const PairSource& s, int row, int slot, RowSpan span, std::span<PairConsumer* const> consumers,
                    std::vector<int>* flags) const {
  constexpr int kChunk = 256;
  const int i = row + 1, n = s.strains(), bi = s.bands(i);
  PairFigures scratch[kChunk];
  const PairFigures* f[kChunk];
  for (PairConsumer* c : consumers) c->beginrow(slot, i, bi);
  if (flags) flags->clear();
  auto pass = [&](int from, int to) {
    for (int j0 = from; j0 <= to; j0 += kChunk) {
      const int j1 = std::min(to, j0 + kChunk - 1);
      figures(s, row, bi, j0, j1, scratch, f);
      if (flags)
        for (int j = std::max(j0, i + 1); j <= j1; ++j)
          if (f[j - j0]->nocorrection) flags->push_back(j);
      for (PairConsumer* c : consumers) c->fields(slot, j0, f, j1 - j0 + 1);
    }
  };
  if (span == RowSpan::Whole) {
    pass(1, i - 1);
    for (PairConsumer* c : consumers) c->diagonal(slot, bi);
  }
  pass(i + 1, n);
  for (PairConsumer* c : consumers) c->endrow(slot);
}

void PairTable::run(PairSource& source, const TableShape& shape, std::span<PairConsumer* const> consumers,
                    PairNotices* notices) const {
  const int n = source.strains(), block = std::max(shape.rowblock, 1);
  for (PairConsumer* c : consumers) c->begintable(n, block);
  std::vector<std::vector<int>> flags(notices && notices->wantsflags() ? static_cast<std::size_t>(block) : 0);
  for (int r0 = 0; r0 < n; r0 += block) {
    checkinterrupt();
    const int r1 = std::min(n, r0 + block);
    source.count(r0, r1, shape.span);
    try {
      parallelfor(r1 - r0, shape.threads, [&](int at) {
        row(source, r0 + at, at, shape.span, consumers,
            flags.empty() ? nullptr : &flags[static_cast<std::size_t>(at)]);
      });
    } catch (const std::bad_alloc&) {
      errorstop(std::string("Error: insufficient memory (") + operation_ + ")");
    }
    for (PairConsumer* c : consumers) c->endblock(r0, r1);
    if (!notices) continue;
    for (int at = 0; at < static_cast<int>(flags.size()) && r0 + at < r1; ++at)
      for (int j : flags[static_cast<std::size_t>(at)]) notices->flag(r0 + at + 1, j);
    notices->upto(std::min(n, r1 + 1));
  }
  for (PairConsumer* c : consumers) c->endtable();
}

std::pair<int, int> HalfTable::firstmissing() const {
  for (int i = 2; i <= n; ++i)
    for (int j = 1; j < i; ++j)
      if (std::isnan(value(i, j))) return {i, j};
  return {0, 0};
}

// The figure by (a, b + c), as PairTable's memo keeps it: the bits of the
// value inverted, so that the zero bytes of fresh memory read as "not worked out"
// (no figure has all bits set). Threads that race store the same bits.
// Its entries lie in tiles of 16 a by 32 sums, a page each, and the tiles
// in Z order (the bits of a tile's row and column interleaved), so that the
// pairs of a table and of its replicates, whose counts lie close together,
// meet tiles that lie close together too. The memory is mapped zeroed by the
// system and in huge pages where offered: a few page faults, and random
// look-ups that miss the address cache less.
struct FigureTable::Memo {
  static constexpr std::uint32_t kTileRows = 16, kTileCols = 32;
  static constexpr std::size_t kHuge = std::size_t{2} << 20;
  long long rows = 0, cols = 0;
  std::vector<std::uint32_t> rowat, colat;  // an entry's index: rowat[a] + colat[sum]
  void* mapped = MAP_FAILED;
  std::size_t length = 0;
  std::uint64_t* entries = nullptr;  // from the mapping's first huge-page boundary
  Memo() = default;
  Memo(const Memo&) = delete;
  Memo& operator=(const Memo&) = delete;
  ~Memo() {
    if (mapped != MAP_FAILED) ::munmap(mapped, length);
  }
  // Bits 0, 1, 2, ... of x to bits `first`, first + 2, first + 4, ...
  static std::uint32_t spread(std::uint32_t x, int first) {
    std::uint32_t out = 0;
    for (int bit = 0; x != 0; ++bit, x >>= 1) out |= (x & 1u) << (2 * bit + first);
    return out;
  }
  bool map(long long r, long long c) {
    rows = r;
    cols = c;
    const auto side = static_cast<std::uint32_t>(
        std::max((rows + kTileRows - 1) / kTileRows, (cols + kTileCols - 1) / kTileCols));
    const std::size_t tiles = std::size_t{1} << (2 * std::bit_width(side - 1));
    rowat.resize(static_cast<std::size_t>(rows));
    colat.resize(static_cast<std::size_t>(cols));
    for (std::uint32_t a = 0; a < rowat.size(); ++a)
      rowat[a] = spread(a / kTileRows, 1) * kTileRows * kTileCols + a % kTileRows * kTileCols;
    for (std::uint32_t sum = 0; sum < colat.size(); ++sum)
      colat[sum] = spread(sum / kTileCols, 0) * kTileRows * kTileCols + sum % kTileCols;
    const std::size_t bytes = tiles * kTileRows * kTileCols * 8;
    length = bytes + kHuge;
    mapped = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return false;
    const auto address = reinterpret_cast<std::uintptr_t>(mapped);
    entries = reinterpret_cast<std::uint64_t*>((address + kHuge - 1) / kHuge * kHuge);
    ::madvise(entries, bytes, MADV_HUGEPAGE);
    return true;
  }
  std::size_t at(long long a, long long sum) const {
    return std::size_t{rowat[static_cast<std::size_t>(a)]} + colat[static_cast<std::size_t>(sum)];
  }
};

FigureTable::FigureTable(const DistanceOptions& options, Figure figure, long long ceiling, const char* operation,
                         long long pairs)
    : formulas_(options), figure_(figure), operation_(operation) {
  const long long rows = ceiling + 1, cols = 2 * ceiling + 1;
  const long long most = pairs >= (1LL << 23) ? (1LL << 22) : (1LL << 20);
  if (ceiling < 0 || ceiling >= most || rows * cols > most) return;
  auto memo = std::make_shared<Memo>();
  if (memo->map(rows, cols)) memo_ = std::move(memo);  // otherwise each pair is worked out anew
}

double FigureTable::figure(std::int64_t shared, long long b, long long c) const {
  const PairFigures f = formulas_(shared, b, c);
  return f.has(figure_) ? f.value(figure_) : std::numeric_limits<double>::quiet_NaN();
}

// Row `row` (0-based), the pairs j > i, into column i of the lower half.
[[gnu::flatten]] void FigureTable::row(const PairSource& s, int row, HalfTable& t) const {
  const int i = row + 1, n = s.strains(), bi = s.bands(i);
  Memo* memo = memo_.get();
  double* lower = t.lower.data();
  const bool pairwise = s.pairwise();
  for (int j = i + 1; j <= n; ++j) {
    const std::int64_t shared = s.shared(row, j - 1);
    const int bj = s.bands(j);
    const long long sum = pairwise ? 2 * shared + s.differ(row, j - 1) : static_cast<long long>(bj) + bi;
    const long long a = shared == 0 ? 1 : shared;
    double& cell = lower[HalfTable::at(j, i)];
    if (pairwise && sum == 0 && s.nothingcompared(i, j)) {
      cell = std::numeric_limits<double>::quiet_NaN();
      continue;
    }
    if (!memo || a >= memo->rows || sum >= memo->cols) {
      cell = pairwise ? figure(shared, sum, 0) : figure(shared, bj, bi);
      continue;
    }
    std::atomic_ref<std::uint64_t> entry(memo->entries[memo->at(a, sum)]);
    std::uint64_t bits = entry.load(std::memory_order_relaxed);
    if (bits == 0) {
      bits = ~std::bit_cast<std::uint64_t>(pairwise ? figure(shared, sum, 0) : figure(shared, bj, bi));
      entry.store(bits, std::memory_order_relaxed);
    }
    cell = std::bit_cast<double>(~bits);
  }
}

void FigureTable::run(PairSource& source, const TableShape& shape, HalfTable& t) const {
  const int n = source.strains(), block = std::max(shape.rowblock, 1);
  t.n = n;
  try {
    t.lower.resize(Triangle::cells(n));
  } catch (const std::bad_alloc&) {
    errorstop(std::string("Error: insufficient memory (") + operation_ + ")");
  }
  for (int r0 = 0; r0 < n; r0 += block) {
    checkinterrupt();
    const int r1 = std::min(n, r0 + block);
    source.count(r0, r1, RowSpan::Upper);
    parallelfor(r1 - r0, shape.threads, [&](int at) { row(source, r0 + at, t); });
  }
}

}  // namespace lorvane
