// The searches of neighbor-joining's pair.
//
// The pruned search (ListSearch) skips most rows: Q(i, j) >= (r - 2) m(i) -
// S(i) - max S, with m(i) a lower bound of the least distance in row i
// (exact after the row is scanned, lowered when a new cluster's distance in
// the row is smaller; a closed cell only raises the true least distance). A
// row whose bound is above the best Q so far cannot hold the pair, nor a tie
// with it.
#include "trees/njsearch.h"

#include <atomic>
#include <cmath>
#include <cstring>

#include "core/threadpool.h"

namespace lorvane {

namespace {

// Four doubles: two SSE2 registers, or one AVX register in the clone for
// processors that have it.
using Quad = double __attribute__((vector_size(32)));
#if defined(__x86_64__) && !defined(LORVANE_NO_CLONES)
#define LORVANE_VECTOR_CLONES [[gnu::target_clones("avx2", "default")]]
#else
#define LORVANE_VECTOR_CLONES
#endif

// The least of c d[j] - (si + s[j]) over j < n: Q along one row of the
// half table. Each lane keeps its own least; the rounding of every Q is
// the scalar one, so the least is exactly the least of the scalar values.
LORVANE_VECTOR_CLONES double leastq(const double* d, const double* s, int n, double c, double si) {
  Quad a = {kInfinity, kInfinity, kInfinity, kInfinity}, b = a;
  const Quad cv = {c, c, c, c}, sv = {si, si, si, si};
  int j = 0;
  for (; j + 8 <= n; j += 8) {
    Quad d0, d1, s0, s1;
    std::memcpy(&d0, d + j, sizeof d0);
    std::memcpy(&d1, d + j + 4, sizeof d1);
    std::memcpy(&s0, s + j, sizeof s0);
    std::memcpy(&s1, s + j + 4, sizeof s1);
    const Quad q0 = cv * d0 - (sv + s0), q1 = cv * d1 - (sv + s1);
    a = q0 < a ? q0 : a;
    b = q1 < b ? q1 : b;
  }
  double least = kInfinity;
  for (; j < n; ++j) least = std::min(least, c * d[j] - (si + s[j]));
  for (int l = 0; l < 4; ++l) least = std::min({least, a[l], b[l]});
  return least;
}

}  // namespace

// ---- WholeScan

WholeScan::WholeScan(NJClusters clusters) : clusters_(clusters) {
  bound_.assign(static_cast<std::size_t>(clusters_.table.slots()), -kInfinity);  // not known before the first scan
  for (double v : clusters_.table.cells()) largest_ = std::max(largest_, v);
}

// Each open row's least Q, then the pairs of the least of them, from the
// rows that reach it (ties are rare: usually one row). A row whose bound
// (carried over from the last join) is above the least found so far is
// skipped; the row of least bound goes first.
NJPair WholeScan::find() {
  const SlotTable& t = clusters_.table;
  const int slots = t.slots();
  const double c = t.live() - 2;
  const double* s = clusters_.sum.data();
  rowq_.resize(static_cast<std::size_t>(slots));
  int start = -1;
  for (int i = 1; i < slots; ++i)
    if (t.open(i) && (start < 0 || bound_[static_cast<std::size_t>(i)] < bound_[static_cast<std::size_t>(start)]))
      start = i;
  double least = kInfinity;
  auto scan = [&](int i) {
    const double q = leastq(t.row(i), s, i, c, s[i]);
    rowq_[static_cast<std::size_t>(i)] = bound_[static_cast<std::size_t>(i)] = q;
    return q;
  };
  if (start > 0) least = scan(start);
  // The rows that may hold the pair, without a branch per row; then those
  // still in reach as the least goes down.
  rows_.resize(static_cast<std::size_t>(slots));
  int count = 0;
  const char* open = t.openflags();
  for (int i = 1; i < slots; ++i) {
    rowq_[static_cast<std::size_t>(i)] = i == start ? rowq_[static_cast<std::size_t>(i)] : kInfinity;
    rows_[static_cast<std::size_t>(count)] = i;
    count += open[i] & (bound_[static_cast<std::size_t>(i)] <= least) & (i != start);
  }
  for (int r = 0; r < count; ++r) {
    const int i = rows_[static_cast<std::size_t>(r)];
    if (bound_[static_cast<std::size_t>(i)] <= least) least = std::min(least, scan(i));
  }
  NJPair best;
  for (int i = 1; i < slots; ++i) {
    if (rowq_[static_cast<std::size_t>(i)] != least || !t.open(i)) continue;
    const double* row = t.row(i);
    for (int j = 0; j < i; ++j)
      if (c * row[j] - (s[i] + s[j]) == least) best.consider(i, j, least, clusters_.rank);
  }
  return best;
}

// After a join, each row's bound of its least Q carried to the next step.
// With c - 1 for c and S' the new sums, a cell that stays has Q' = Q - d -
// (S'(i) - S(i)) - (S'(j) - S(j)); a cell of the new cluster (slot j) is
// bounded by its own Q'. The margin covers the rounding of the values and of
// the bounds.
void WholeScan::joined(int /*i*/, int j) {
  const SlotTable& t = clusters_.table;
  const double c = t.live() - 2;
  const std::size_t n = static_cast<std::size_t>(t.slots());
  double rise = -kInfinity, big = 0;
  const double* sum = clusters_.sum.data();
  const double* before = before_.data();
  for (std::size_t k = 0; k < n; ++k) {
    big = std::max(big, std::abs(sum[k]));
    const double change = t.open(static_cast<int>(k)) && k != static_cast<std::size_t>(j) ? sum[k] - before[k] : -kInfinity;
    rise = std::max(rise, change);
  }
  const double scale = c * std::abs(largest_) + 4 * big;
  double* bound = bound_.data();
  for (std::size_t k = 0; k < n; ++k)
    bound[k] = bound[k] - largest_ - (sum[k] - before[k]) - rise - 1e-9 * (scale + std::abs(bound[k]));
  // Closed slots' cells are +infinity: no test needed.
  for (int k = j + 1; k < t.slots(); ++k) {
    const double q = c * t.row(k)[j] - (sum[k] + sum[j]);
    bound[k] = std::min(bound[k], q - 1e-9 * (scale + std::abs(q)));
  }
  bound_[static_cast<std::size_t>(j)] = -kInfinity;
}

// ---- ListSearch
//
// Each row keeps its width_ least cells, sorted, in a list: every cell of
// the row outside the list is at least rest_ of the row. A cell changed by a
// join that comes below rest_ goes into the list. A slot's version changes
// when its cluster does (a join puts a new one there, or closes it): an
// entry of an older version is dropped when met, without reading the table
// (its cell, if open, is then at least rest_). A row's scan walks its list
// and stops where the bound passes the best Q; only a row whose list runs
// out with the bound of rest_ still below the best is scanned whole, and its
// list rebuilt.

ListSearch::ListSearch(NJClusters clusters, const TreeSettings& settings)
    : clusters_(clusters), settings_(settings), width_(std::clamp(clusters.table.slots() / 8, 8, 48)) {
  const auto n = static_cast<std::size_t>(clusters_.table.slots());
  listsize_.assign(n, 0);
  version_.assign(n, 0);
  head_.assign(n, kInfinity);
  list_.resize(n * static_cast<std::size_t>(width_));
  rest_.assign(n, kInfinity);
  compacted();
}

void ListSearch::compacted() {
  for (int i = 1; i < clusters_.table.slots(); ++i) rebuildlist(i);
}

void ListSearch::joined(int i, int j) {
  ++version_[static_cast<std::size_t>(i)];
  rebuildlist(j);
}

// The width_ least open cells of row i, in one pass: a cell below the
// list's last goes in, and rest_ is the least cell left out.
void ListSearch::rebuildlist(int i) {
  const double* row = clusters_.table.row(i);
  Entry* entries = list(i);
  int size = 0;
  double rest = kInfinity;
  for (int j = 0; j < i; ++j) {
    const double d = row[j];
    if (size == width_ && !(d < entries[width_ - 1].d)) {
      rest = std::min(rest, d);
      continue;
    }
    if (!clusters_.table.open(j)) continue;
    if (size == width_) rest = std::min(rest, entries[--size].d);
    int at = size++;
    while (at > 0 && entries[at - 1].d > d) {
      entries[at] = entries[at - 1];
      --at;
    }
    entries[at] = {d, j, version_[static_cast<std::size_t>(j)]};
  }
  listsize_[static_cast<std::size_t>(i)] = size;
  rest_[static_cast<std::size_t>(i)] = rest;
  sethead(i);
}

// The least value of row i that the list and rest_ allow.
void ListSearch::sethead(int i) {
  head_[static_cast<std::size_t>(i)] = listsize_[static_cast<std::size_t>(i)] > 0 ? list(i)[0].d : rest_[static_cast<std::size_t>(i)];
}

// A cell of row k that fell below rest_ joins the list.
void ListSearch::insert(int k, double d, int j) {
  Entry* entries = list(k);
  int& size = listsize_[static_cast<std::size_t>(k)];
  if (size == width_) {
    rest_[static_cast<std::size_t>(k)] = std::min(rest_[static_cast<std::size_t>(k)], entries[width_ - 1].d);
    --size;
  }
  int at = size;
  while (at > 0 && entries[at - 1].d > d) {
    entries[at] = entries[at - 1];
    --at;
  }
  entries[at] = {d, j, version_[static_cast<std::size_t>(j)]};
  ++size;
  sethead(k);
}

// The pairs (i, j), j < i, that may come before the best so far. `most` is
// the largest S of the open slots before i: Q(i, j) >= c d(i, j) - (S(i) + most).
void ListSearch::scanrow(int i, double c, double most, NJPair& best) {
  const double* row = clusters_.table.row(i);
  const double* s = clusters_.sum.data();
  const int* version = version_.data();
  const double si = s[i], offset = si + most;
  Entry* entries = list(i);
  int& size = listsize_[static_cast<std::size_t>(i)];
  const double rest = rest_[static_cast<std::size_t>(i)];
  if (c * head_[static_cast<std::size_t>(i)] - offset > best.q) return;
  int kept = 0, e = 0;
  for (; e < size; ++e) {
    const Entry x = entries[e];
    if (x.version != version[x.j]) continue;
    if (c * x.d - offset > best.q) break;
    best.consider(i, x.j, c * x.d - (si + s[x.j]), clusters_.rank);
    entries[kept++] = x;
  }
  const bool stopped = e < size;
  if (kept < e) {
    std::copy(entries + e, entries + size, entries + kept);
    size = kept + (size - e);
    sethead(i);
  }
  if (stopped || c * rest - offset > best.q) return;
  // The list ran out: the whole row, then a new list.
  const double least = leastq(row, s, i, c, si);
  if (least <= best.q)
    for (int j = 0; j < i; ++j)
      if (c * row[j] - (si + s[j]) == least) best.consider(i, j, least, clusters_.rank);
  rebuildlist(i);
}

NJPair ListSearch::find() {
  const SlotTable& t = clusters_.table;
  const int slots = t.slots();
  const double c = t.live() - 2;
  const double* s = clusters_.sum.data();
  most_.resize(static_cast<std::size_t>(slots));
  double most = -kInfinity, bound = kInfinity;
  int start = -1;
  for (int i = 0; i < slots; ++i) {
    most_[static_cast<std::size_t>(i)] = most;
    if (!t.open(i)) continue;
    if (i > 0) {
      const double b = c * head_[static_cast<std::size_t>(i)] - (s[i] + most);
      if (start < 0 || b < bound) start = i, bound = b;
    }
    most = std::max(most, s[i]);
  }
  NJPair best;
  scanrow(start, c, most_[static_cast<std::size_t>(start)], best);
  // A good first bound: the head of every row's list.
  for (int i = 1; i < slots; ++i) {
    if (!t.open(i) || listsize_[static_cast<std::size_t>(i)] == 0) continue;
    const Entry& x = list(i)[0];
    if (x.version == version_[static_cast<std::size_t>(x.j)]) best.consider(i, x.j, c * x.d - (s[i] + s[x.j]), clusters_.rank);
  }
  // The other rows, spread over the threads.
  const int threads = slots >= settings_.threadrows ? std::max(settings_.threads, 1) : 1;
  std::vector<NJPair> found(static_cast<std::size_t>(threads), best);
  std::atomic<int> nextrow{1};
  eachthread(threads, [&](int thread) {
    NJPair& mine = found[static_cast<std::size_t>(thread)];
    constexpr int kChunk = 256;
    for (;;) {
      const int from = nextrow.fetch_add(kChunk, std::memory_order_relaxed);
      if (from >= slots) break;
      const int to = std::min(slots, from + kChunk);
      for (int i = from; i < to; ++i)
        if (i != start && t.open(i)) scanrow(i, c, most_[static_cast<std::size_t>(i)], mine);
    }
  });
  for (const NJPair& b : found)
    if (b.i >= 0 && best.before(b.q, b.first, b.second)) best = b;
  return best;
}

}  // namespace lorvane
